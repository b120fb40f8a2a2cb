#pragma once

#include "randomizer/RandomizerSettings.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The Randomizer tab: the picture (or its folder) that the pools take. The
// shared picture browse fills rndFile; the tab keeps the picture's full path.
class RandomizerTab : public QWidget
{
    Q_OBJECT
public:
    explicit RandomizerTab(QWidget* parent = nullptr);

    // Shows the chosen picture: its path, or its folder while rndFolder is ticked.
    void SetChosenPicture(const QString& path);
    const QString& ChosenPicture() const { return m_chosenPicture; }
    void ShowSettings(const RandomizerSettings& settings);
    RandomizerSettings Settings() const;

    QLineEdit* rndFile;
    QPushButton* rndBrowse;
    QCheckBox* rndFolder;

private:
    void OnFolderClicked();

    QString m_chosenPicture;
};
