#pragma once

#include <QWidget>

class QCheckBox;
class QLineEdit;

// The Music tab: the source sound file and the folder switch.
class MusicTab : public QWidget
{
    Q_OBJECT
public:
    explicit MusicTab(QWidget* parent = nullptr);

    QLineEdit* sndFile;
    QCheckBox* sndFolder;
};
