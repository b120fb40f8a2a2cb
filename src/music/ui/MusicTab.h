#pragma once

#include "music/MusicSettings.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;

// The Music tab: the source sound file and the folder switch.
class MusicTab : public QWidget
{
    Q_OBJECT
public:
    explicit MusicTab(QWidget* parent = nullptr);

    void ShowSettings(const MusicSettings& settings);
    MusicSettings Settings() const;

    QLineEdit* sndFile;
    QCheckBox* sndFolder;
};
