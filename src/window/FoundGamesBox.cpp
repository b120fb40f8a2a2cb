#include "window/FoundGamesBox.h"

#include "app/ui/Named.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

FoundGamesBox::FoundGamesBox(DiscoveryPlaces places, QWidget* parent)
    : ThemedFrame(tr("Games in Wine prefixes"), parent), m_places(std::move(places))
{
    setObjectName(QStringLiteral("setWineFrame"));
    setFoundGames = Named<QTreeWidget>("setFoundGames");
    setFoundGames->setHeaderLabels({tr("Game folder"), tr("Prefix"), tr("Manager")});
    setFoundGames->setRootIsDecorated(false);
    setFoundGames->setUniformRowHeights(true);
    setFoundGames->setAlternatingRowColors(true);
    setFoundGames->setTextElideMode(Qt::ElideMiddle);
    setFoundGames->header()->setStretchLastSection(false);
    setFoundGames->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    setFoundGames->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    setFoundGames->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    setFoundGames->setMaximumHeight(setFoundGames->fontMetrics().height() * 7);
    setUseGame = Named<QPushButton>("setUseGame", tr("Use this game"));
    setUseGame->setEnabled(false);
    setFindGames = Named<QPushButton>("setFindGames", tr("Search again"));
    auto* prefixesLabel = new QLabel(tr("More prefixes:"));
    setWinePrefixes = Named<QLineEdit>("setWinePrefixes");
    setWinePrefixes->setPlaceholderText(tr("Prefix folders of your own, separated by ':'"));
    prefixesLabel->setBuddy(setWinePrefixes);
    auto* wineLabel = new QLabel(tr("Wine program:"));
    setWineProgram = Named<QLineEdit>("setWineProgram");
    setWineProgram->setPlaceholderText(tr("The Wine the game's prefix was set up with, else wine"));
    wineLabel->setBuddy(setWineProgram);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(setUseGame);
    buttons->addWidget(setFindGames);
    buttons->addStretch(1);
    auto* grid = new QGridLayout;
    grid->addWidget(setFoundGames, 0, 0, 1, 2);
    grid->addLayout(buttons, 1, 0, 1, 2);
    grid->addWidget(prefixesLabel, 2, 0);
    grid->addWidget(setWinePrefixes, 2, 1);
    grid->addWidget(wineLabel, 3, 0);
    grid->addWidget(setWineProgram, 3, 1);
    grid->setColumnStretch(1, 1);
    setLayout(grid);

    connect(setFindGames, &QPushButton::clicked, this, &FoundGamesBox::Search);
    connect(setUseGame, &QPushButton::clicked, this, &FoundGamesBox::UseSelected);
    connect(setFoundGames, &QTreeWidget::itemDoubleClicked, this, &FoundGamesBox::UseSelected);
    connect(setFoundGames, &QTreeWidget::itemSelectionChanged, this,
            [this] { setUseGame->setEnabled(!setFoundGames->selectedItems().isEmpty()); });
}

void FoundGamesBox::ShowWine(const QString& wineProgram, const QStringList& winePrefixes)
{
    setWineProgram->setText(wineProgram);
    setWinePrefixes->setText(JoinPrefixList(winePrefixes));
}

QString FoundGamesBox::WineProgram() const
{
    return setWineProgram->text().trimmed();
}

QStringList FoundGamesBox::WinePrefixes() const
{
    return SplitPrefixList(setWinePrefixes->text());
}

void FoundGamesBox::Search()
{
    m_searched = true;
    m_games = FindGames(m_places, WinePrefixes());
    setFoundGames->clear();
    // Folders below the home folder are shown from "~" on: the ends of the paths tell them apart.
    const QString home =
        m_places.home.isEmpty() ? QString() : QDir::cleanPath(m_places.home) + QLatin1Char('/');
    auto shown = [&home](const QString& path) {
        return !home.isEmpty() && path.startsWith(home) ? QStringLiteral("~/") + path.mid(home.size()) : path;
    };
    for (const FoundGame& game : m_games) {
        auto* item =
            new QTreeWidgetItem(setFoundGames, {shown(game.folder), shown(game.prefix), game.manager});
        const QString wine = game.wineProgram.isEmpty() ? tr("wine on PATH") : game.wineProgram;
        for (int column = 0; column < 3; ++column)
            item->setToolTip(column, tr("%1\nStarted with %2").arg(game.folder, wine));
    }
    if (m_games.isEmpty()) {
        auto* item = new QTreeWidgetItem(setFoundGames, {tr("No game was found in the Wine prefixes.")});
        item->setFlags(Qt::NoItemFlags);
    }
    setUseGame->setEnabled(false);
}

void FoundGamesBox::showEvent(QShowEvent* event)
{
    ThemedFrame::showEvent(event);
    if (!m_searched)
        Search();
}

void FoundGamesBox::UseSelected()
{
    const QList<QTreeWidgetItem*> selected = setFoundGames->selectedItems();
    if (selected.isEmpty() || m_games.isEmpty())
        return;
    const int row = setFoundGames->indexOfTopLevelItem(selected.first());
    if (row >= 0 && row < m_games.size())
        emit gameChosen(m_games[row].folder);
}
