#include "music/ui/MusicTab.h"

#include "app/FileAccess.h"
#include "app/GameSession.h"
#include "app/ui/Named.h"
#include "controls/ThemedFrame.h"
#include "music/MusicSave.h"
#include "music/OggVorbisEncoder.h"
#include "music/SoundDecoder.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A target's box: ticked means "write this", grey (partly checked) means
// "written by the last save". A click ticks a grey or empty box and unticks a
// ticked one; only a save makes a box grey.
class TargetCheckBox : public QCheckBox
{
public:
    explicit TargetCheckBox(const QString& text) : QCheckBox(text) { setTristate(true); }

protected:
    void nextCheckState() override
    {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

} // namespace

MusicTab::MusicTab(BusyHost& host, SettingsStore& store, const Environment& environment, GameSession& session,
                   OpenFileFunction openFile, QWidget* parent)
    : QWidget(parent), m_host(host), m_store(store), m_environment(environment), m_session(session),
      m_openFile(std::move(openFile))
{
    setObjectName(QStringLiteral("MusicTab"));
    sndFrame = Named<ThemedFrame>(QStringLiteral("sndFrame"), tr("Source sound file"));
    auto* label = new QLabel(tr("Input file:"));
    sndFile = Named<QLineEdit>(QStringLiteral("sndFile"));
    sndFile->setReadOnly(true);
    label->setBuddy(sndFile);
    sndBrowse = Named<QPushButton>(QStringLiteral("sndBrowse"), tr("Browse..."));
    sndFolder = Named<QCheckBox>(QStringLiteral("sndFolder"),
                                 tr("Pick random sound files from this folder for each track below"));
    auto* source = new QGridLayout;
    source->addWidget(label, 0, 0);
    source->addWidget(sndFile, 0, 1);
    source->addWidget(sndBrowse, 0, 2);
    source->addWidget(sndFolder, 1, 1, 1, 2);
    source->setColumnStretch(1, 1);
    sndFrame->setLayout(source);

    boomBoxFrame = Named<ThemedFrame>(QStringLiteral("XPFrame7"), tr("BoomBox"));
    auto* boombox = new QGridLayout;
    for (int i = 0; i < kBoomBoxCount; ++i) {
        const BoomBoxBox& box = kBoomBoxBoxes[std::size_t(i)];
        sndBoomBox[std::size_t(i)] =
            Named<TargetCheckBox>(QStringLiteral("sndBoomBox(%1)").arg(i), tr(box.caption));
        boombox->addWidget(sndBoomBox[std::size_t(i)], box.row - 1, box.column - 1);
    }
    boombox->setRowStretch(9, 1);
    boomBoxFrame->setLayout(boombox);

    loginFrame = Named<ThemedFrame>(QStringLiteral("XPFrame10"), tr("Login"));
    sndHeroLogin = Named<TargetCheckBox>(QStringLiteral("sndHeroLogin"), tr("Heroes login"));
    sndVillainLogin = Named<TargetCheckBox>(QStringLiteral("sndVillainLogin"), tr("Villains login"));
    sndPraetorianLogin = Named<TargetCheckBox>(QStringLiteral("sndPraetorianLogin"), tr("Praetorians login"));
    auto* login = new QVBoxLayout;
    login->addWidget(sndHeroLogin);
    login->addWidget(sndVillainLogin);
    login->addWidget(sndPraetorianLogin);
    loginFrame->setLayout(login);

    pocketDFrame = Named<ThemedFrame>(QStringLiteral("XPFrame11"), tr("Pocket D"));
    sndDanceFloor = Named<TargetCheckBox>(QStringLiteral("sndDanceFloor"), tr("Dance floor"));
    sndBlueSide = Named<TargetCheckBox>(QStringLiteral("sndBlueSide"), tr("Blue side"));
    sndRedSide = Named<TargetCheckBox>(QStringLiteral("sndRedSide"), tr("Red side"));
    auto* pocketD = new QVBoxLayout;
    pocketD->addWidget(sndDanceFloor);
    pocketD->addWidget(sndBlueSide);
    pocketD->addWidget(sndRedSide);
    pocketDFrame->setLayout(pocketD);

    sndSave = Named<QPushButton>(QStringLiteral("sndSave"), tr("Save selected tracks"));
    sndSave->setEnabled(false);
    sndRestore = Named<QPushButton>(QStringLiteral("sndRestore"), tr("Restore the game's music"));
    sndRestore->setToolTip(tr("Removes Lumivale's tracks of the ticked boxes (or puts back the ones they "
                              "replaced), so that the game plays its own music again."));
    sndRestore->setEnabled(false);

    auto* side = new QVBoxLayout;
    side->addWidget(loginFrame);
    side->addWidget(pocketDFrame);
    side->addStretch(1);
    side->addWidget(sndSave);
    side->addWidget(sndRestore);
    auto* targets = new QHBoxLayout;
    targets->addWidget(boomBoxFrame, 1);
    targets->addLayout(side);
    auto* page = new QVBoxLayout(this);
    page->addWidget(sndFrame);
    page->addLayout(targets, 1);

    connect(sndBrowse, &QPushButton::clicked, this, &MusicTab::Browse);
    connect(sndFolder, &QCheckBox::clicked, this, &MusicTab::OnFolderClicked);
    connect(sndSave, &QPushButton::clicked, this, &MusicTab::Save);
    connect(sndRestore, &QPushButton::clicked, this, &MusicTab::Restore);
    // The save and restore buttons follow the source and the ticked targets.
    connect(this, &MusicTab::enabledStateChanged, this, [this] {
        sndSave->setEnabled(CanSave());
        sndRestore->setEnabled(CanRestore());
    });
    for (int i = 0; i < kSoundTargetCount; ++i) {
        QCheckBox* box = TargetBox(i);
        connect(box, &QCheckBox::clicked, box, [box] { box->setToolTip(QString()); });
        connect(box, &QCheckBox::clicked, this, &MusicTab::enabledStateChanged);
    }
}

MusicTab::~MusicTab() = default;

void MusicTab::ShowSettings(const MusicSettings& settings)
{
    sndFolder->setChecked(settings.soundFolder);
}

MusicSettings MusicTab::Settings() const
{
    MusicSettings settings;
    settings.soundFolder = sndFolder->isChecked();
    return settings;
}

QCheckBox* MusicTab::TargetBox(int target) const
{
    if (target >= 0 && target < kBoomBoxCount)
        return sndBoomBox[std::size_t(target)];
    switch (target) {
    case kHeroLogin:
        return sndHeroLogin;
    case kVillainLogin:
        return sndVillainLogin;
    case kPraetorianLogin:
        return sndPraetorianLogin;
    case kDanceFloor:
        return sndDanceFloor;
    case kBlueSide:
        return sndBlueSide;
    case kRedSide:
        return sndRedSide;
    default:
        return nullptr;
    }
}

TargetState MusicTab::State(int target) const
{
    switch (TargetBox(target)->checkState()) {
    case Qt::Checked:
        return TargetState::Ticked;
    case Qt::PartiallyChecked:
        return TargetState::Done;
    default:
        return TargetState::Unticked;
    }
}

void MusicTab::SetState(int target, TargetState state)
{
    TargetBox(target)->setToolTip(
        state == TargetState::Done ? tr("Written by the last save. Tick it to write it again.") : QString());
    TargetBox(target)->setCheckState(state == TargetState::Ticked ? Qt::Checked
                                     : state == TargetState::Done ? Qt::PartiallyChecked
                                                                  : Qt::Unchecked);
}

bool MusicTab::CanSave() const
{
    return !sndFile->text().isEmpty() && CanRestore();
}

bool MusicTab::CanRestore() const
{
    for (int i = 0; i < kSoundTargetCount; ++i) {
        if (State(i) == TargetState::Ticked)
            return true;
    }
    return false;
}

bool MusicTab::MakeReady()
{
    if (m_ready)
        return true;
    if (!m_decoder) {
        Result<std::unique_ptr<SoundDecoder>> loaded = LoadSoundDecoder(m_environment.pluginFolder);
        if (!loaded) {
            m_host.ShowMessage(kNoPluginsMessage, MessageIcon::Exclamation);
            return false;
        }
        m_decoder = std::move(*loaded);
    }
    if (!m_encoder)
        m_encoder = std::make_unique<OggVorbisEncoder>(m_environment.random);
    if (!m_encoder->InitEncoder()) {
        m_host.ShowMessage(
            Message{kEncoderMessage, MessageIcon::Exclamation, m_encoder->InitFailure().Reason()});
        return false;
    }
    m_ready = true;
    return true;
}

void MusicTab::Browse()
{
    if (!MakeReady())
        return;
    OpenFileRequest request;
    request.title = tr("Choose a sound file");
    request.initialFolder = ReadLastSoundDir(m_store);
    request.filter = SoundFileFilter();
    const QString chosen = m_openFile ? m_openFile(this, request) : QString();
    if (chosen.isEmpty())
        return;
    if (m_decoder->Open(chosen)) {
        m_decoder->Close();
        m_fileTag = chosen;
        sndFile->setText(chosen);
    } else {
        m_host.ShowMessage(Message{NoDecoderMessage(), MessageIcon::Exclamation, m_decoder->ErrorText()});
    }
    WriteLastSoundDir(m_store, ReturnPath(chosen));
    emit enabledStateChanged();
}

void MusicTab::OnFolderClicked()
{
    sndFile->setText(sndFolder->isChecked() ? ReturnPath(m_fileTag) : m_fileTag);
    emit enabledStateChanged();
}

void MusicTab::Save()
{
    sndSave->setEnabled(false);
    MusicSaveRequest request;
    request.gameFolder = m_session.GameFolder();
    request.source = sndFile->text();
    request.randomFolder = sndFolder->isChecked() && QFileInfo(request.source).isDir();
    request.keepConverted = true;
    for (int i = 0; i < kSoundTargetCount; ++i)
        request.states[std::size_t(i)] = State(i);
    const MusicSaveOutcome outcome = SaveSelectedTracks(m_host, m_environment, request);
    for (int i = 0; i < kSoundTargetCount; ++i)
        SetState(i, outcome.states[std::size_t(i)]);
    if (const Failure skipped = SkippedSoundsMessage(outcome.skipped); !skipped.Messages().isEmpty())
        m_host.ShowFailure(skipped);
    if (outcome.failure)
        m_host.ShowFailure(*outcome.failure);
    emit enabledStateChanged();
}

void MusicTab::Restore()
{
    TargetStates states{};
    for (int i = 0; i < kSoundTargetCount; ++i)
        states[std::size_t(i)] = State(i);
    const MusicRestoreOutcome outcome = RestoreSelectedTracks(m_host, m_session.GameFolder(), states);
    for (int i = 0; i < kSoundTargetCount; ++i)
        SetState(i, outcome.states[std::size_t(i)]);
    if (outcome.failure)
        m_host.ShowFailure(*outcome.failure);
    for (const TrackRestore& track : outcome.tracks) {
        if (!track.restored)
            m_host.ShowFailure(track.restored.error());
    }
    if (const QStringList leftAlone = outcome.LeftAlone(); !leftAlone.isEmpty())
        m_host.ShowMessage(LeftAloneMessage(leftAlone, QStringLiteral("track"), QStringLiteral("tracks")));
    emit enabledStateChanged();
}
