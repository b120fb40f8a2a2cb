#pragma once

#include <QObject>
#include <QString>
#include <memory>

class PixelBuffer;

// The values several tabs of the window share while it is open: the game
// folder, the screen size, the compression switch, the Wine program, the frames (switch and the
// two frame pictures) and the picture the Screens tab loaded. The tab that
// owns a control writes its value here; every other tab reads it here and
// never touches another tab's widgets. Owned by the main window.
class GameSession : public QObject
{
    Q_OBJECT
public:
    using Picture = std::shared_ptr<PixelBuffer>;

    explicit GameSession(QObject* parent = nullptr) : QObject(parent) {}

    const QString& GameFolder() const { return m_gameFolder; }
    void SetGameFolder(const QString& folder);
    // The screen size as the Settings boxes hold it (texts, not yet normalised).
    const QString& ScreenWidth() const { return m_screenWidth; }
    const QString& ScreenHeight() const { return m_screenHeight; }
    void SetScreenSize(const QString& width, const QString& height);
    // "Compress textures using NVIDIA's tool".
    bool Compress() const { return m_compress; }
    void SetCompress(bool compress);
    // "Wine program": the Wine that starts the game; "" = the prefix's own.
    const QString& WineProgram() const { return m_wineProgram; }
    void SetWineProgram(const QString& program);
    // "Overlay image frames" and the frame pictures of the two loading screens.
    bool Frames() const { return m_frames; }
    void SetFrames(bool frames);
    const QString& LoginFrame() const { return m_loginFrame; }
    const QString& CharacterFrame() const { return m_characterFrame; }
    void SetFramePictures(const QString& login, const QString& character);
    // The frame picture of one screen when frames are on, else "".
    QString FrameFor(bool login) const;
    // The source picture as the Screens tab holds it (applied levels included)
    // and the file it was chosen as.
    const Picture& SourcePicture() const { return m_sourcePicture; }
    void SetSourcePicture(Picture picture);
    const QString& PictureFile() const { return m_pictureFile; }
    void SetPictureFile(const QString& file);

signals:
    void gameFolderChanged(const QString& folder);
    void screenSizeChanged();
    void compressChanged(bool compress);
    void wineProgramChanged(const QString& program);
    void framesChanged();
    void sourcePictureChanged();
    void pictureFileChanged(const QString& file);

private:
    QString m_gameFolder;
    QString m_screenWidth;
    QString m_screenHeight;
    bool m_compress = false;
    QString m_wineProgram;
    bool m_frames = false;
    QString m_loginFrame;
    QString m_characterFrame;
    Picture m_sourcePicture;
    QString m_pictureFile;
};
