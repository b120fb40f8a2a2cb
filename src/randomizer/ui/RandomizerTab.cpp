#include "randomizer/ui/RandomizerTab.h"

#include "app/FileAccess.h"
#include "controls/XPFrame.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

RandomizerTab::RandomizerTab(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("RandomizerTab"));
    auto* group = new XPFrame(tr("Source image"));
    group->setObjectName(QStringLiteral("rndFrame"));
    auto* label = new QLabel(tr("Input file:"));
    rndFile = new QLineEdit;
    rndFile->setObjectName(QStringLiteral("rndFile"));
    rndFile->setReadOnly(true);
    label->setBuddy(rndFile);
    rndBrowse = new QPushButton(tr("Browse..."));
    rndBrowse->setObjectName(QStringLiteral("rndBrowse"));
    rndFolder = new QCheckBox(tr("Add all the images in this folder to the Randomizer"));
    rndFolder->setObjectName(QStringLiteral("rndFolder"));

    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(rndFile, 0, 1);
    grid->addWidget(rndBrowse, 0, 2);
    grid->addWidget(rndFolder, 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    group->setLayout(grid);

    auto* page = new QVBoxLayout(this);
    page->addWidget(group);
    page->addStretch(1);

    connect(rndFolder, &QCheckBox::clicked, this, &RandomizerTab::OnFolderClicked);
}

void RandomizerTab::SetChosenPicture(const QString& path)
{
    m_chosenPicture = path;
    rndFile->setText(rndFolder->isChecked() ? ReturnPath(path) : path);
}

void RandomizerTab::ShowSettings(const RandomizerSettings& settings)
{
    rndFolder->setChecked(settings.randomFolder);
}

RandomizerSettings RandomizerTab::Settings() const
{
    RandomizerSettings settings;
    settings.randomFolder = rndFolder->isChecked();
    return settings;
}

void RandomizerTab::OnFolderClicked()
{
    const QString picture = ChosenPicture();
    if (picture.isEmpty())
        return;
    rndFile->setText(rndFolder->isChecked() ? ReturnPath(picture) : picture);
}
