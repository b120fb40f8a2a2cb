#include "app/GameSession.h"

void GameSession::SetGameFolder(const QString& folder)
{
    if (folder == m_gameFolder)
        return;
    m_gameFolder = folder;
    emit gameFolderChanged(folder);
}

void GameSession::SetScreenSize(const QString& width, const QString& height)
{
    if (width == m_screenWidth && height == m_screenHeight)
        return;
    m_screenWidth = width;
    m_screenHeight = height;
    emit screenSizeChanged();
}

void GameSession::SetCompress(bool compress)
{
    if (compress == m_compress)
        return;
    m_compress = compress;
    emit compressChanged(compress);
}

void GameSession::SetWineProgram(const QString& program)
{
    if (program == m_wineProgram)
        return;
    m_wineProgram = program;
    emit wineProgramChanged(program);
}

void GameSession::SetFrames(bool frames)
{
    if (frames == m_frames)
        return;
    m_frames = frames;
    emit framesChanged();
}

void GameSession::SetFramePictures(const QString& login, const QString& character)
{
    if (login == m_loginFrame && character == m_characterFrame)
        return;
    m_loginFrame = login;
    m_characterFrame = character;
    emit framesChanged();
}

QString GameSession::FrameFor(bool login) const
{
    if (!m_frames)
        return {};
    return login ? m_loginFrame : m_characterFrame;
}

void GameSession::SetSourcePicture(Picture picture)
{
    if (picture == m_sourcePicture)
        return;
    m_sourcePicture = std::move(picture);
    emit sourcePictureChanged();
}

void GameSession::SetPictureFile(const QString& file)
{
    if (file == m_pictureFile)
        return;
    m_pictureFile = file;
    emit pictureFileChanged(file);
}
