#pragma once

#include "app/GameDiscovery.h"
#include "controls/ThemedFrame.h"

#include <QList>
#include <QStringList>

class QLineEdit;
class QPushButton;
class QTreeWidget;

// The Wine part of the Settings tab: the game folders found in the Wine
// prefixes (folder, prefix, manager) to pick one from, the prefixes added by
// hand and the Wine program that overrides the prefixes' own. The search runs
// when the box is first shown and on setFindGames, never at start-up.
class FoundGamesBox : public ThemedFrame
{
    Q_OBJECT
public:
    explicit FoundGamesBox(DiscoveryPlaces places, QWidget* parent = nullptr);

    void ShowWine(const QString& wineProgram, const QStringList& winePrefixes);
    QString WineProgram() const;
    QStringList WinePrefixes() const;
    // Looks through the prefixes again and lists what is there.
    void Search();
    const QList<FoundGame>& Games() const { return m_games; }

    QTreeWidget* setFoundGames;
    QPushButton* setUseGame;
    QPushButton* setFindGames;
    QLineEdit* setWinePrefixes;
    QLineEdit* setWineProgram;

signals:
    // A found game was picked (setUseGame, or a double click on its line).
    void gameChosen(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UseSelected();

    DiscoveryPlaces m_places;
    QList<FoundGame> m_games;
    bool m_searched = false;
};
