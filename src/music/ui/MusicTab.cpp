#include "music/ui/MusicTab.h"

#include "controls/XPFrame.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

MusicTab::MusicTab(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MusicTab"));
    auto* group = new XPFrame(tr("Source sound file"));
    group->setObjectName(QStringLiteral("sndFrame"));
    auto* label = new QLabel(tr("Input file:"));
    sndFile = new QLineEdit;
    sndFile->setObjectName(QStringLiteral("sndFile"));
    sndFile->setReadOnly(true);
    label->setBuddy(sndFile);
    sndFolder = new QCheckBox(tr("Pick random sound files from this folder for each track below"));
    sndFolder->setObjectName(QStringLiteral("sndFolder"));

    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(sndFile, 0, 1);
    grid->addWidget(sndFolder, 1, 1);
    grid->setColumnStretch(1, 1);
    group->setLayout(grid);

    auto* page = new QVBoxLayout(this);
    page->addWidget(group);
    page->addStretch(1);
}

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
