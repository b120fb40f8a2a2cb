#include "window/SettingsTab.h"

#include "app/BusyHost.h"
#include "app/FileAccess.h"
#include "app/GameSession.h"
#include "app/GameSettings.h"
#include "app/ui/Named.h"
#include "controls/ThemedFrame.h"
#include "image/Frames.h"
#include "window/FoundGamesBox.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

SettingsTab::SettingsTab(BusyHost& host, GameSession& session, WinePrefix prefix, QString dataFolder,
                         OpenFileFunction openFile, DiscoveryPlaces winePlaces, QWidget* parent)
    : QWidget(parent), m_host(host), m_session(session), m_prefix(std::move(prefix)),
      m_dataFolder(std::move(dataFolder)), m_openFile(std::move(openFile))
{
    setObjectName(QStringLiteral("SettingsTab"));

    auto* gameGroup = Named<ThemedFrame>("setFrame", tr("Game client"));
    setCohRegKey = Named<QLabel>("setCohRegKey", tr("Game location:"));
    setCohPath = Named<QLineEdit>("setCohPath");
    setCohPath->setPlaceholderText(tr("Folder that holds cityofheroes.exe"));
    setBrowse = Named<QPushButton>("setBrowse", tr("Browse..."));
    setCohRegKey->setBuddy(setCohPath);
    auto* sizeLabel = new QLabel(tr("Screen size:"));
    setWidth = Named<QLineEdit>("setWidth");
    setHeight = Named<QLineEdit>("setHeight");
    for (QLineEdit* box : {setWidth, setHeight}) {
        box->setMaximumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
        box->setAlignment(Qt::AlignRight);
        box->installEventFilter(this);
    }
    sizeLabel->setBuddy(setWidth);
    setAuto = Named<QCheckBox>("setAuto", tr("Autodetect path and size from Registry"));

    auto* gameGrid = new QGridLayout;
    gameGrid->addWidget(setCohRegKey, 0, 0);
    gameGrid->addWidget(setCohPath, 0, 1, 1, 2);
    gameGrid->addWidget(setBrowse, 0, 3);
    gameGrid->addWidget(sizeLabel, 1, 0);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(setWidth);
    sizeRow->addWidget(new QLabel(QStringLiteral("x")));
    sizeRow->addWidget(setHeight);
    sizeRow->addStretch(1);
    gameGrid->addLayout(sizeRow, 1, 1, 1, 3);
    gameGrid->addWidget(setAuto, 2, 1, 1, 3);
    gameGrid->setColumnStretch(1, 1);
    gameGroup->setLayout(gameGrid);

    foundGames = new FoundGamesBox(std::move(winePlaces));

    frameGroup = Named<ThemedFrame>("setFramesFrame", tr("Image frames"));
    auto* hlLabel = new QLabel(tr("Login screen:"));
    FrameHL = Named<QLineEdit>("FrameHL");
    BrowseHL = Named<QPushButton>("BrowseHL", tr("Browse..."));
    auto* hcLabel = new QLabel(tr("Characters:"));
    FrameHC = Named<QLineEdit>("FrameHC");
    BrowseHC = Named<QPushButton>("BrowseHC", tr("Browse..."));
    hlLabel->setBuddy(FrameHL);
    hcLabel->setBuddy(FrameHC);
    auto* note = new QLabel(tr("Image frames must be 1024x768 pixels in size.") + QStringLiteral("    ") +
                            tr("Pixels with the color #ff00ff will be treated as transparent."));
    note->setWordWrap(true);
    auto* frameGrid = new QGridLayout;
    frameGrid->addWidget(hlLabel, 0, 0);
    frameGrid->addWidget(FrameHL, 0, 1);
    frameGrid->addWidget(BrowseHL, 0, 2);
    frameGrid->addWidget(hcLabel, 1, 0);
    frameGrid->addWidget(FrameHC, 1, 1);
    frameGrid->addWidget(BrowseHC, 1, 2);
    frameGrid->addWidget(note, 2, 0, 1, 3);
    frameGrid->setColumnStretch(1, 1);
    frameGroup->setLayout(frameGrid);

    auto* textureGroup = Named<ThemedFrame>("setTextureFrame", tr("Textures"));
    setCompression = Named<QCheckBox>("setCompression", tr("Compress textures using NVIDIA's tool"));
    auto* textureBox = new QVBoxLayout;
    textureBox->addWidget(setCompression);
    textureGroup->setLayout(textureBox);

    auto* page = new QVBoxLayout(this);
    page->addWidget(gameGroup);
    page->addWidget(foundGames);
    page->addWidget(frameGroup);
    page->addWidget(textureGroup);
    page->addStretch(1);

    connect(setAuto, &QCheckBox::clicked, this, &SettingsTab::OnAutoClicked);
    connect(setBrowse, &QPushButton::clicked, this, &SettingsTab::OnBrowseClicked);
    connect(foundGames, &FoundGamesBox::gameChosen, this, &SettingsTab::UseFoundGame);
    connect(BrowseHL, &QPushButton::clicked, this, [this] { BrowseFrame(FrameHL); });
    connect(BrowseHC, &QPushButton::clicked, this, [this] { BrowseFrame(FrameHC); });

    connect(setCohPath, &QLineEdit::textChanged, &m_session, &GameSession::SetGameFolder);
    for (QLineEdit* box : {setWidth, setHeight})
        connect(box, &QLineEdit::textChanged, this,
                [this] { m_session.SetScreenSize(setWidth->text(), setHeight->text()); });
    for (QLineEdit* box : {FrameHL, FrameHC})
        connect(box, &QLineEdit::textChanged, this, &SettingsTab::PublishFramePictures);
    connect(setCompression, &QCheckBox::toggled, &m_session, &GameSession::SetCompress);
    connect(foundGames->setWineProgram, &QLineEdit::textChanged, this,
            [this] { m_session.SetWineProgram(foundGames->WineProgram()); });
}

void SettingsTab::PublishFramePictures()
{
    m_session.SetFramePictures(FrameHL->text(), FrameHC->text());
}

void SettingsTab::ShowGame(const GameSettings& game)
{
    setCohPath->setText(game.cohPath);
    m_gameKeyName = game.cohRegKey.isEmpty() ? QStringLiteral("Coh") : game.cohRegKey;
    setWidth->setText(game.cohWidth);
    setHeight->setText(game.cohHeight);
    setAuto->setChecked(game.cohAuto);
    foundGames->ShowWine(game.wineProgram, game.winePrefixes);
    if (game.cohAuto)
        OnAutoClicked();
}

GameSettings SettingsTab::Game() const
{
    GameSettings game;
    game.cohPath = setCohPath->text();
    game.cohRegKey = m_gameKeyName;
    game.cohWidth = setWidth->text();
    game.cohHeight = setHeight->text();
    game.cohAuto = setAuto->isChecked();
    game.wineProgram = foundGames->WineProgram();
    game.winePrefixes = foundGames->WinePrefixes();
    return game;
}

void SettingsTab::ShowCompression(const TextureSettings& textures)
{
    setCompression->setChecked(textures.textureCompression);
}

TextureSettings SettingsTab::Compression() const
{
    TextureSettings textures;
    textures.textureCompression = setCompression->isChecked();
    return textures;
}

void SettingsTab::ShowFramePictures(const FrameSettings& frames)
{
    FrameHL->setText(frames.frameHL);
    FrameHC->setText(frames.frameHC);
}

void SettingsTab::SetManualControlsEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(setCohPath), static_cast<QWidget*>(setBrowse),
                       static_cast<QWidget*>(setWidth), static_cast<QWidget*>(setHeight)})
        w->setEnabled(enabled);
}

void SettingsTab::DetectGameSettings()
{
    const DetectedGameSettings found = ReadGameSettings(m_prefix, GameKeyName());
    if (found.folder.isEmpty()) {
        setAuto->setEnabled(false);
        SetManualControlsEnabled(true);
        return;
    }
    setAuto->setEnabled(true);
    if (!setAuto->isChecked())
        return;
    SetManualControlsEnabled(false);
    setCohPath->setText(found.folder);
    if (!found.screenX.isEmpty())
        setWidth->setText(found.screenX);
    if (!found.screenY.isEmpty())
        setHeight->setText(found.screenY);
}

void SettingsTab::OnAutoClicked()
{
    SetManualControlsEnabled(!setAuto->isChecked());
    DetectGameSettings();
}

void SettingsTab::OnBrowseClicked()
{
    OpenFileRequest request;
    request.title = tr("Game location");
    request.initialFolder = setCohPath->text();
    request.fileName = QStringLiteral("cityofheroes.exe");
    // Under Wine the client's file name may carry any case.
    request.filter = QStringLiteral("City of Heroes (cityofheroes.exe cityofvillains.exe CityOfHeroes.exe "
                                    "CityOfVillains.exe);;Programs (*.exe *.EXE)");
    const QString chosen = m_openFile ? m_openFile(this, request) : QString();
    if (chosen.isEmpty())
        return;
    const QString folder = ReturnPath(chosen);
    if (folder.isEmpty())
        return;
    setCohPath->setText(folder);
    emit gameFolderChosen();
}

void SettingsTab::UseFoundGame(const QString& folder)
{
    // A picked folder is typed in, as Browse does; the registry no longer decides.
    setAuto->setChecked(false);
    SetManualControlsEnabled(true);
    setCohPath->setText(folder);
    emit gameFolderChosen();
}

void SettingsTab::BrowseFrame(QLineEdit* target)
{
    OpenFileRequest request;
    request.title = tr("Choose a frame picture");
    const QString current = target->text();
    request.initialFolder = current.isEmpty() ? m_dataFolder : ReturnPath(current);
    request.fileName = current.isEmpty() ? QString() : current.mid(ReturnPath(current).size() + 1);
    request.filter = QStringLiteral("Bitmap images (bmp,png,gif) (*.bmp *.png *.gif *.BMP *.PNG *.GIF)");
    const QString chosen = m_openFile ? m_openFile(this, request) : QString();
    // A cancelled dialog changes nothing.
    if (chosen.isEmpty())
        return;
    if (const Result<PixelBufferPtr> frame = LoadFrame(chosen); !frame) {
        m_host.ShowFailure(frame.error());
        return;
    }
    target->setText(chosen);
}

bool SettingsTab::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && (box == setWidth || box == setHeight)) {
        if (event->type() == QEvent::FocusIn) {
            // Deferred: a mouse click that gave the focus would clear the selection again.
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
        } else if (event->type() == QEvent::FocusOut) {
            box->setText(NormalizeSizeText(box->text()));
        }
    }
    return QWidget::eventFilter(watched, event);
}
