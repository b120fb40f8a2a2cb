#include "texture/Catalogue.h"

#include "app/FileAccess.h"

#include <QDir>
#include <algorithm>
#include <optional>

QString CatalogueEntry::DisplayText() const
{
    return QStringLiteral("%1 (%2x%3)").arg(displayName).arg(width).arg(height);
}

TextureTarget CatalogueEntry::Target() const
{
    return TextureTarget{gamePath, fileName, width, height};
}

namespace {

// Why a field could not be read: where it starts, and what is wrong with it.
struct FieldError
{
    int line = 1;
    QString what;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Reads the fields one by one.
class FieldReader
{
public:
    explicit FieldReader(QByteArrayView bytes) : m_bytes(bytes) {}

    // Line where the field read last starts (or where the data ends).
    int Line() const { return m_fieldLine; }

    // The next field's text; nothing at the end of the data. `name` says what
    // the field is, for the failure.
    tl::expected<std::optional<QByteArray>, FieldError> Next(const QString& name)
    {
        // Blanks and empty lines before a field.
        while (m_at < m_bytes.size() && (IsBlank(m_bytes[m_at]) || IsLineEnd(m_bytes[m_at])))
            SkipOne();
        m_fieldLine = m_line;
        if (m_at >= m_bytes.size())
            return std::nullopt;

        QByteArray text;
        if (m_bytes[m_at] == '"') {
            ++m_at;
            // A quoted field ends on its own line.
            while (m_at < m_bytes.size() && m_bytes[m_at] != '"' && !IsLineEnd(m_bytes[m_at]))
                text += m_bytes[m_at++];
            if (m_at >= m_bytes.size() || m_bytes[m_at] != '"')
                return tl::unexpected(FieldError{
                    m_line, name + QStringLiteral(" opens a quote that is not closed on its line")});
            ++m_at;
            while (m_at < m_bytes.size() && IsBlank(m_bytes[m_at]))
                ++m_at;
            if (m_at < m_bytes.size() && m_bytes[m_at] != ',' && !IsLineEnd(m_bytes[m_at]))
                return tl::unexpected(
                    FieldError{m_line, name + QStringLiteral(" has text after its closing quote")});
        } else {
            const qsizetype start = m_at;
            while (m_at < m_bytes.size() && m_bytes[m_at] != ',' && !IsLineEnd(m_bytes[m_at])) {
                if (m_bytes[m_at] == '"')
                    return tl::unexpected(FieldError{m_line, name + QStringLiteral(" holds a double quote")});
                ++m_at;
            }
            text = m_bytes.sliced(start, m_at - start).toByteArray();
            while (!text.isEmpty() && IsBlank(text.back()))
                text.chop(1);
        }
        // The separator: one comma or one line end (CR LF counts once).
        if (m_at < m_bytes.size() && m_bytes[m_at] == ',')
            ++m_at;
        else if (m_at < m_bytes.size())
            SkipOne();
        return text;
    }

private:
    // Steps over one character, counting lines (CR LF, LF and CR alone each end one).
    void SkipOne()
    {
        const char c = m_bytes[m_at++];
        if (c == '\r' && m_at < m_bytes.size() && m_bytes[m_at] == '\n')
            ++m_at;
        if (IsLineEnd(c))
            ++m_line;
    }

    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    int m_line = 1;
    int m_fieldLine = 1;
};

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The catalogue's grammar over a FieldReader.
class CatalogueParser
{
public:
    explicit CatalogueParser(QByteArrayView bytes) : m_reader(bytes) {}

    tl::expected<QList<CatalogueCategory>, FieldError> Parse()
    {
        const auto count = Count(QStringLiteral("the category count"));
        if (!count)
            return tl::unexpected(count.error());
        QList<CatalogueCategory> categories;
        for (int c = 0; c < *count; ++c) {
            CatalogueCategory category;
            const QString number = QString::number(c + 1);
            const auto name = Text(QStringLiteral("the name of category ") + number);
            if (!name)
                return tl::unexpected(name.error());
            category.name = *name;
            const QString of = QStringLiteral(" of category ") + Quoted(category.name);
            const auto textures = Count(QStringLiteral("the texture count") + of);
            if (!textures)
                return tl::unexpected(textures.error());
            for (int j = 0; j < *textures; ++j) {
                const auto entry = Entry(QStringLiteral("texture ") + QString::number(j + 1) + of);
                if (!entry)
                    return tl::unexpected(entry.error());
                category.entries.append(*entry);
            }
            categories.append(std::move(category));
        }
        return categories;
    }

private:
    template <typename T>
    using Field = tl::expected<T, FieldError>;

    Field<QByteArray> Raw(const QString& name)
    {
        auto field = m_reader.Next(name);
        if (!field)
            return tl::unexpected(field.error());
        if (!*field)
            return tl::unexpected(
                FieldError{m_reader.Line(), QStringLiteral("the file ends before ") + name});
        return **field;
    }

    Field<QString> Text(const QString& name)
    {
        auto raw = Raw(name);
        if (!raw)
            return tl::unexpected(raw.error());
        return QString::fromUtf8(*raw);
    }

    Field<int> Number(const QString& name, int minimum)
    {
        const auto raw = Raw(name);
        if (!raw)
            return tl::unexpected(raw.error());
        const QByteArray& text = *raw;
        const qsizetype digits = text.startsWith('-') || text.startsWith('+') ? 1 : 0;
        bool plain = text.size() > digits && text.size() <= digits + 6;
        for (qsizetype i = digits; plain && i < text.size(); ++i)
            plain = text[i] >= '0' && text[i] <= '9';
        const int value = plain ? text.toInt() : 0;
        if (!plain || value < -32768 || value > 32767)
            return tl::unexpected(FieldError{
                m_reader.Line(), name + QStringLiteral(" is not a whole number from -32768 to 32767: ") +
                                     Quoted(QString::fromUtf8(text))});
        if (value < minimum)
            return tl::unexpected(
                FieldError{m_reader.Line(),
                           name + QStringLiteral(" must be at least %1, not %2").arg(minimum).arg(value)});
        return value;
    }

    Field<int> Count(const QString& name) { return Number(name, 0); }

    Field<CatalogueEntry> Entry(const QString& texture)
    {
        CatalogueEntry entry;
        const auto name = Text(QStringLiteral("the display name of ") + texture);
        if (!name)
            return tl::unexpected(name.error());
        entry.displayName = *name;
        const QString of = QStringLiteral(" of ") + texture + QStringLiteral(" (") +
                           Quoted(entry.displayName) + QLatin1Char(')');
        const auto width = Number(QStringLiteral("the width") + of, 1);
        if (!width)
            return tl::unexpected(width.error());
        const auto height = Number(QStringLiteral("the height") + of, 1);
        if (!height)
            return tl::unexpected(height.error());
        const auto path = Text(QStringLiteral("the game path") + of);
        if (!path)
            return tl::unexpected(path.error());
        if (!UsablePath(*path, true))
            return tl::unexpected(FieldError{m_reader.Line(), QStringLiteral("the game path") + of +
                                                                  QStringLiteral(" must name folders below "
                                                                                 "the data folder, "
                                                                                 "separated by \"/\": ") +
                                                                  Quoted(*path)});
        const auto file = Text(QStringLiteral("the file name") + of);
        if (!file)
            return tl::unexpected(file.error());
        if (!UsablePath(*file, false))
            return tl::unexpected(FieldError{m_reader.Line(), QStringLiteral("the file name") + of +
                                                                  QStringLiteral(" must be a plain name: ") +
                                                                  Quoted(*file)});
        entry.width = *width;
        entry.height = *height;
        entry.gamePath = *path;
        entry.fileName = *file;
        return entry;
    }

    // Folder names joined by '/' (or one plain name): no empty, "." or ".."
    // parts, no '\', so a path never leaves the data folder or lands at its top.
    static bool UsablePath(const QString& path, bool folders)
    {
        if (path.isEmpty() || path.contains(QLatin1Char('\\')))
            return false;
        if (!folders && path.contains(QLatin1Char('/')))
            return false;
        const QStringList parts = path.split(QLatin1Char('/'));
        return std::none_of(parts.begin(), parts.end(), [](const QString& part) {
            return part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..");
        });
    }

    FieldReader m_reader;
};

Result<QList<CatalogueCategory>> Parse(QByteArrayView bytes, const QString& source)
{
    auto parsed = CatalogueParser(bytes).Parse();
    if (parsed)
        return std::move(*parsed);
    const FieldError& error = parsed.error();
    const QString where = source.isEmpty() ? QStringLiteral("Line %1").arg(error.line)
                                           : QStringLiteral("%1, line %2").arg(source).arg(error.line);
    return Fail(kCatalogueError, MessageIcon::Exclamation,
                where + QStringLiteral(": ") + error.what + QLatin1Char('.'));
}

CatalogueLoad Select(QList<CatalogueCategory> categories, int selectedCategory)
{
    CatalogueLoad load;
    for (const CatalogueCategory& category : categories)
        load.categories << category.name;
    if (categories.isEmpty()) {
        load.selected = -1;
        return load;
    }
    load.selected = selectedCategory >= 0 && selectedCategory < categories.size() ? selectedCategory : 0;
    load.entries = std::move(categories[load.selected].entries);
    return load;
}

} // namespace

Result<QList<CatalogueCategory>> ParseCatalogue(QByteArrayView bytes)
{
    return Parse(bytes, QString());
}

Result<CatalogueLoad> LoadCatalogue(QByteArrayView bytes, int selectedCategory)
{
    return ParseCatalogue(bytes).map([selectedCategory](QList<CatalogueCategory> categories) {
        return Select(std::move(categories), selectedCategory);
    });
}

Result<QList<CatalogueCategory>> ReadCatalogueFile(const QString& dataFolder)
{
    const QString path = QDir(dataFolder).filePath(kCatalogueFileName);
    const Result<QByteArray> bytes = ReadRegularFile(path, kCatalogueMaxBytes);
    if (!bytes)
        return Fail(kCatalogueError, MessageIcon::Exclamation,
                    QStringLiteral("%1: %2").arg(path, bytes.error().Reason()));
    return Parse(*bytes, path);
}

Result<CatalogueLoad> LoadCatalogueFile(const QString& dataFolder, int selectedCategory)
{
    return ReadCatalogueFile(dataFolder).map([selectedCategory](QList<CatalogueCategory> categories) {
        return Select(std::move(categories), selectedCategory);
    });
}
