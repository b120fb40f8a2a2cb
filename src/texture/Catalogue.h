#pragma once

#include "app/Failure.h"
#include "texture/CatalogueTexture.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The texture catalogue shipped in the data folder.
inline const QString kCatalogueFileName = QStringLiteral("lumivale.csv");
// A catalogue that is missing or cannot be read; the reason names the line and field.
inline const QString kCatalogueError = QStringLiteral("The texture catalogue could not be read.");
// The shipped file is about 20 kB; anything far larger is not a catalogue.
inline constexpr qint64 kCatalogueMaxBytes = 4 * 1024 * 1024;

// One texture of a category.
struct CatalogueEntry
{
    QString displayName;
    qint32 width = 0;
    qint32 height = 0;
    QString gamePath; // below the game's data folder, '/' separated, no separator at either end
    QString fileName; // base name of the texture file, without extension

    // "Name (WxH)", as the texture lists show it.
    QString DisplayText() const;
    TextureTarget Target() const;
};

struct CatalogueCategory
{
    QString name;
    QList<CatalogueEntry> entries;
};

// What one load gives a pair of lists: every category name, the selected
// category's entries in file order, and which category that is (-1 when the
// catalogue has none).
struct CatalogueLoad
{
    QStringList categories;
    QList<CatalogueEntry> entries;
    int selected = 0;
};

// The catalogue is a flat sequence of fields: a field ends at a comma or a
// line end (they count alike; empty lines are skipped), blanks before a field
// are skipped and after an unquoted one dropped, and a field may be enclosed in
// double quotes (removed; a comma inside belongs to the text). Numbers are
// whole decimal numbers from -32768 to 32767. In order: the category count;
// per category its name and texture count; per texture its display name,
// width, height, game path and file name. Nothing after the last record is
// read. Every field is checked (counts not below zero, sizes of at least 1,
// paths that name folders below the data folder); the failure's reason names
// the line and the field that is wrong.
Result<QList<CatalogueCategory>> ParseCatalogue(QByteArrayView bytes);

// The categories and the entries of the selected one; an index outside the
// categories selects the first.
Result<CatalogueLoad> LoadCatalogue(QByteArrayView bytes, int selectedCategory);

// <dataFolder>/lumivale.csv (a regular file of at most kCatalogueMaxBytes), parsed.
Result<QList<CatalogueCategory>> ReadCatalogueFile(const QString& dataFolder);
Result<CatalogueLoad> LoadCatalogueFile(const QString& dataFolder, int selectedCategory);
