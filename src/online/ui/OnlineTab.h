#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;

// The Online tab: five slots, each a picture address and the texture it feeds.
class OnlineTab : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kSlots = 5;

    explicit OnlineTab(QWidget* parent = nullptr);

    std::array<QLabel*, kSlots> webLabel{};
    std::array<QLineEdit*, kSlots> webURL{};
    std::array<QLineEdit*, kSlots> webFile{};
};
