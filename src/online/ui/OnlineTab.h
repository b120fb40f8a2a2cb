#pragma once

#include "online/OnlineSettings.h"

#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;

// The Online tab: five slots, each a picture address and the texture it feeds.
class OnlineTab : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kSlots = kOnlineSlots;

    explicit OnlineTab(QWidget* parent = nullptr);

    // Shows the slots' texture names and addresses.
    void ShowSettings(const OnlineSettings& settings);
    // The slots as loaded, with the addresses as they stand in the boxes.
    OnlineSettings Settings() const;

    std::array<QLabel*, kSlots> webLabel{};
    std::array<QLineEdit*, kSlots> webURL{};
    std::array<QLineEdit*, kSlots> webFile{};

private:
    OnlineSettings m_settings;
};
