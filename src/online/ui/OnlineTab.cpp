#include "online/ui/OnlineTab.h"

#include "controls/XPFrame.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

OnlineTab::OnlineTab(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("OnlineTab"));
    auto* group = new XPFrame(tr("Online Textures"));
    group->setObjectName(QStringLiteral("webFileFrame"));
    auto* grid = new QGridLayout;
    for (int i = 0; i < kSlots; ++i) {
        // Control arrays carry their index in the object name: webURL(0) .. webURL(4).
        const QString index = QStringLiteral("(%1)").arg(i);
        webLabel[i] = new QLabel(tr("Image URL:"));
        webLabel[i]->setObjectName(QStringLiteral("webLabel") + index);
        webURL[i] = new QLineEdit;
        webURL[i]->setObjectName(QStringLiteral("webURL") + index);
        webLabel[i]->setBuddy(webURL[i]);
        auto* textureLabel = new QLabel(tr("Texture:"));
        webFile[i] = new QLineEdit;
        webFile[i]->setObjectName(QStringLiteral("webFile") + index);
        webFile[i]->setReadOnly(true);
        textureLabel->setBuddy(webFile[i]);
        grid->addWidget(webLabel[i], i, 0);
        grid->addWidget(webURL[i], i, 1);
        grid->addWidget(textureLabel, i, 2);
        grid->addWidget(webFile[i], i, 3);
    }
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    group->setLayout(grid);

    auto* page = new QVBoxLayout(this);
    page->addWidget(group);
    page->addStretch(1);
}

void OnlineTab::ShowSettings(const OnlineSettings& settings)
{
    m_settings = settings;
    for (int i = 0; i < kSlots; ++i) {
        webFile[std::size_t(i)]->setText(settings.entries[std::size_t(i)].name);
        webURL[std::size_t(i)]->setText(settings.entries[std::size_t(i)].link);
    }
}

OnlineSettings OnlineTab::Settings() const
{
    OnlineSettings settings = m_settings;
    for (int i = 0; i < kSlots; ++i)
        settings.entries[std::size_t(i)].link = webURL[std::size_t(i)]->text();
    return settings;
}
