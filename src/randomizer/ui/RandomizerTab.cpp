#include "randomizer/ui/RandomizerTab.h"

#include "app/FileAccess.h"
#include "app/GameSession.h"
#include "app/ui/Named.h"
#include "controls/ThemedFrame.h"
#include "randomizer/GameShortcut.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

RandomizerTab::RandomizerTab(BusyHost& host, const Environment& environment, GameSession& session,
                             QWidget* parent)
    : QWidget(parent), m_host(host), m_environment(environment), m_session(session)
{
    setObjectName(QStringLiteral("RandomizerTab"));
    auto* group = Named<ThemedFrame>("rndFrame", tr("Source image"));
    auto* label = new QLabel(tr("Input file:"));
    rndFile = Named<QLineEdit>("rndFile");
    rndFile->setReadOnly(true);
    label->setBuddy(rndFile);
    rndBrowse = Named<QPushButton>("rndBrowse", tr("Browse..."));
    rndFolder = Named<QCheckBox>("rndFolder", tr("Add all the images in this folder to the Randomizer"));
    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(rndFile, 0, 1);
    grid->addWidget(rndBrowse, 0, 2);
    grid->addWidget(rndFolder, 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    group->setLayout(grid);

    auto* pools = Named<ThemedFrame>("rndPoolFrame", tr("Random backgrounds"));
    rndSaveHL = Named<QPushButton>("rndSaveHL", PoolButtonCaption(LoadingScreen::Login));
    rndSaveHC = Named<QPushButton>("rndSaveHC", PoolButtonCaption(LoadingScreen::Character));
    for (QPushButton* b : {rndSaveHL, rndSaveHC}) {
        // Room for the longer caption and for "Image 1000 of 1000".
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(rndSaveHC->text()) + 32);
        b->setEnabled(false);
    }
    rndNoRepeat = Named<QCheckBox>("rndNoRepeat", tr("Show every picture once before repeating"));
    auto* poolBox = new QVBoxLayout;
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(rndSaveHL);
    buttons->addWidget(rndSaveHC);
    buttons->addStretch(1);
    poolBox->addLayout(buttons);
    poolBox->addWidget(rndNoRepeat);
    pools->setLayout(poolBox);

    auto* shortcutGroup = Named<ThemedFrame>("rndShortcutFrame", tr("Game shortcut"));
    auto* shortcutNote = new QLabel(tr("A shortcut that installs random backgrounds from the pools and then "
                                       "starts the game. Use it instead of the game's own shortcut."));
    shortcutNote->setWordWrap(true);
    rndShortcut = Named<QPushButton>("rndShortcut", tr("Create game shortcut"));
    auto* shortcutBox = new QHBoxLayout;
    shortcutBox->addWidget(shortcutNote, 1);
    shortcutBox->addWidget(rndShortcut, 0, Qt::AlignTop);
    shortcutGroup->setLayout(shortcutBox);

    auto* page = new QVBoxLayout(this);
    page->addWidget(group);
    page->addWidget(pools);
    page->addWidget(shortcutGroup);
    page->addStretch(1);

    connect(rndFolder, &QCheckBox::clicked, this, &RandomizerTab::OnFolderClicked);
    connect(rndSaveHL, &QPushButton::clicked, this, [this] { AddToPool(LoadingScreen::Login); });
    connect(rndSaveHC, &QPushButton::clicked, this, [this] { AddToPool(LoadingScreen::Character); });
    connect(rndShortcut, &QPushButton::clicked, this, &RandomizerTab::CreateShortcut);
    connect(rndBrowse, &QPushButton::clicked, this, &RandomizerTab::browseRequested);
    connect(&m_session, &GameSession::pictureFileChanged, this, &RandomizerTab::SetChosenPicture);
}

void RandomizerTab::UpdateEnabled()
{
    const bool enabled = !m_session.GameFolder().isEmpty() && !m_chosenPicture.isEmpty();
    rndSaveHL->setEnabled(enabled);
    rndSaveHC->setEnabled(enabled);
}

PoolTarget RandomizerTab::Target(LoadingScreen screen) const
{
    PoolTarget target;
    target.gameFolder = m_session.GameFolder();
    target.screen = screen;
    target.frame = m_session.FrameFor(screen == LoadingScreen::Login);
    target.compress = m_session.Compress();
    return target;
}

void RandomizerTab::SetChosenPicture(const QString& path)
{
    m_chosenPicture = path;
    rndFile->setText(rndFolder->isChecked() ? ReturnPath(path) : path);
}

void RandomizerTab::ShowSettings(const RandomizerSettings& settings)
{
    rndFolder->setChecked(settings.randomFolder);
    rndNoRepeat->setChecked(settings.randomNoRepeat);
}

RandomizerSettings RandomizerTab::Settings() const
{
    RandomizerSettings settings;
    settings.randomFolder = rndFolder->isChecked();
    settings.randomNoRepeat = rndNoRepeat->isChecked();
    return settings;
}

void RandomizerTab::OnFolderClicked()
{
    const QString picture = ChosenPicture();
    if (picture.isEmpty())
        return;
    rndFile->setText(rndFolder->isChecked() ? ReturnPath(picture) : picture);
}

void RandomizerTab::AddToPool(LoadingScreen screen)
{
    QPushButton* button = screen == LoadingScreen::Login ? rndSaveHL : rndSaveHC;
    if (rndFolder->isChecked()) {
        AddFolder(screen, button);
        return;
    }
    button->setEnabled(false);
    const PoolTarget target = Target(screen);
    // The pool file is named after the picture chosen (its source is already in memory).
    const QString name = QFileInfo(m_chosenPicture).fileName();
    if (const Result<QString> added =
            ::AddToPool(m_host, m_environment, target, name, m_session.SourcePicture());
        !added)
        m_host.ShowFailure(added.error());
    button->setEnabled(true);
}

void RandomizerTab::AddFolder(LoadingScreen screen, QPushButton* button)
{
    const QString folder = rndFile->text();
    const FolderPictures pictures = ListFolderPictures(folder);
    if (pictures.capped)
        m_host.ShowMessage(kPoolLimitMessage, MessageIcon::None);
    if (pictures.names.isEmpty())
        return;
    const PoolTarget target = Target(screen);
    const PassSummary summary =
        AddFolderToPool(m_host, m_environment, target, folder, pictures, [button](int i, int n) {
            button->setText(QStringLiteral("Image %1 of %2").arg(i).arg(n));
        });
    button->setText(PoolButtonCaption(screen));
    // The Screens tab shows the last picture of the pass.
    if (!summary.lastPicture.isEmpty())
        emit lastPictureOfPass(summary.lastPicture);
    if (const Failure skipped = SkippedPicturesMessage(summary); !skipped.Messages().isEmpty())
        m_host.ShowFailure(skipped);
}

void RandomizerTab::CreateShortcut()
{
    const Result<QStringList> written =
        CreateGameShortcut(m_environment, m_session.GameFolder(), m_session.WineProgram());
    if (!written) {
        m_host.ShowFailure(written.error());
        return;
    }
    m_host.ShowMessage(tr("The game shortcut was written to:") + QLatin1Char('\n') +
                           written->join(QLatin1Char('\n')),
                       MessageIcon::Information);
}
