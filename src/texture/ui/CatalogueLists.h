#pragma once

#include "texture/Catalogue.h"

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class BusyHost;
class QComboBox;

// A category list and a texture list filled from the texture catalogue (the
// Textures tab's texCategory/texTexture, the Online picker's
// webCategory/webTexture). Choosing a category reloads the catalogue with that
// category selected. The entries of the last load are kept here, index i
// describing item i of the texture list.
class CatalogueLists : public QObject
{
    Q_OBJECT
public:
    CatalogueLists(BusyHost& host, QString dataFolder, QComboBox* categoryList, QComboBox* textureList,
                   QObject* parent = nullptr);

    // Reads the catalogue afresh and fills both lists: every category, the
    // selected category's textures in file order, that category and the first
    // texture selected. A catalogue that is missing or malformed is told
    // through the host and leaves both lists (and the entries) empty. A call
    // made while a load runs (the selection changes of the load itself raise
    // the category list's signal) returns at once. True when the catalogue was
    // read.
    bool Load(int selectedCategory);

    const QList<CatalogueEntry>& Entries() const { return m_entries; }
    // The entry of the texture list's current item, if there is one.
    std::optional<CatalogueEntry> CurrentEntry() const;
    bool Loading() const { return m_loading; }
    QComboBox* CategoryList() const { return m_categoryList; }
    QComboBox* TextureList() const { return m_textureList; }

signals:
    // A load ended (also one that failed: the lists are then empty).
    void loaded();

private:
    BusyHost& m_host;
    QString m_dataFolder;
    QComboBox* m_categoryList;
    QComboBox* m_textureList;
    QList<CatalogueEntry> m_entries;
    bool m_loading = false;
};
