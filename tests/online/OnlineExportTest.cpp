#include "online/OnlineExport.h"

#include "TestTools.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

OnlineSettings Assigned()
{
    OnlineSettings settings;
    OnlineSlotSettings& sky = settings.entries[2];
    sky.name = QStringLiteral("Sky (512x256)");
    sky.path = QStringLiteral("texture_library/GUI/Sky");
    sky.file = QStringLiteral("sky_day");
    sky.width = QStringLiteral(" 512");
    sky.height = QStringLiteral(" 256");
    OnlineSlotSettings& rock = settings.entries[4];
    rock.name = QStringLiteral("Rock \"big\" \\ (64x64)");
    rock.path = QStringLiteral("texture_library/World");
    rock.file = QStringLiteral("rock");
    rock.width = QStringLiteral(" 64");
    rock.height = QStringLiteral(" 64");
    return settings;
}

std::array<QString, kOnlineSlots> Links()
{
    return {QString(), QStringLiteral("http://a.example/x.png"),
            QStringLiteral("https://b.example/s.jpg?a=\"1\""), QString(),
            QStringLiteral("HTTP://c.example/r.gif")};
}

OnlineSettings WithLinks(OnlineSettings settings, const std::array<QString, kOnlineSlots>& links)
{
    for (int i = 0; i < kOnlineSlots; ++i)
        settings.entries[std::size_t(i)].link = links[std::size_t(i)];
    return settings;
}

void ExpectSame(const OnlineSettings& a, const OnlineSettings& b)
{
    for (int i = 0; i < kOnlineSlots; ++i) {
        for (const QString& prefix : OnlineValuePrefixes())
            EXPECT_EQ(SlotValueText(a.entries[std::size_t(i)], prefix),
                      SlotValueText(b.entries[std::size_t(i)], prefix))
                << qPrintable(setting::SlotValue(prefix, i));
    }
}

class OnlineExportTest : public ::testing::Test
{
protected:
    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QTemporaryDir m_dir;
};

TEST_F(OnlineExportTest, ThirtyTwoLinesWithEscapedValues)
{
    const QByteArray text = OnlineExportText(Assigned(), Links());
    EXPECT_TRUE(text.endsWith("\r\n"));
    EXPECT_FALSE(QByteArray(text).replace("\r\n", "").contains('\n'));
    const QList<QByteArray> lines = text.chopped(2).split('\n');
    ASSERT_EQ(lines.size(), 32);
    EXPECT_EQ(lines[0], "REGEDIT4\r");
    EXPECT_EQ(lines[1], "[HKEY_CURRENT_USER\\Software\\CohLumivale]\r");
    EXPECT_EQ(lines[2], "\"webName0\"=\"\"\r");
    EXPECT_EQ(lines[7], "\"webLink0\"=\"\"\r");
    EXPECT_EQ(lines[13], "\"webLink1\"=\"http://a.example/x.png\"\r");
    EXPECT_EQ(lines[14], "\"webName2\"=\"Sky (512x256)\"\r");
    EXPECT_EQ(lines[15], "\"webPath2\"=\"texture_library/GUI/Sky\"\r");
    EXPECT_EQ(lines[16], "\"webFile2\"=\"sky_day\"\r");
    EXPECT_EQ(lines[17], "\"webWidth2\"=\" 512\"\r");
    EXPECT_EQ(lines[18], "\"webHeight2\"=\" 256\"\r");
    EXPECT_EQ(lines[19], "\"webLink2\"=\"https://b.example/s.jpg?a=\\\"1\\\"\"\r");
    EXPECT_EQ(lines[26], "\"webName4\"=\"Rock \\\"big\\\" \\\\ (64x64)\"\r");

    // Beyond ASCII: the same lines under the version 5 header, in UTF-16LE with its mark.
    OnlineSettings accented = Assigned();
    accented.entries[4].name = QStringLiteral("Café crème ☃ (64x64)");
    const QByteArray five = OnlineExportText(accented, Links());
    ASSERT_TRUE(five.startsWith("\xFF\xFE"));
    QStringDecoder utf16(QStringDecoder::Utf16LE);
    const QString decoded = utf16.decode(five.sliced(2));
    EXPECT_FALSE(utf16.hasError());
    QString expected = QString::fromLatin1(text).replace(
        QStringLiteral("REGEDIT4\r\n"), QStringLiteral("Windows Registry Editor Version 5.00\r\n"));
    expected.replace(QStringLiteral("Rock \\\"big\\\" \\\\ (64x64)"), QStringLiteral("Café crème ☃ (64x64)"));
    EXPECT_EQ(decoded, expected);
    const auto back = ReadOnlineImport(five, {});
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->values.contains({QStringLiteral("webName4"), QStringLiteral("Café crème ☃ (64x64)")}));
}

// A file the user names is replaced only when it is a regular file: anything
// else is left as it is, and a device is written into, with its own reason.
TEST_F(OnlineExportTest, TargetsThatAreNoRegularFileAreNeverReplaced)
{
    const QByteArray text = OnlineExportText(Assigned(), Links());
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(Path("folder")));
    const bool haveNode =
        ::mknod(QFile::encodeName(Path("full")).constData(), S_IFCHR | 0600, makedev(1, 7)) == 0;
    const struct
    {
        QString target;
        const char* reason;
    } cases[] = {
        {Path("pipe"), "It is a FIFO, not a regular file"},
        {Path("folder"), "It is a folder, not a regular file"},
        {haveNode ? Path("full") : QString(), "No space left on device"},
        {QFileInfo::exists("/dev/full") ? QStringLiteral("/dev/full") : QString(), "No space left on device"},
        {Path("missing/folder/x.reg"), "No such file or directory"},
    };
    for (const auto& c : cases) {
        if (c.target.isEmpty())
            continue; // no device nodes here (not root, or no /dev/full)
        struct stat before = {};
        ::lstat(QFile::encodeName(c.target).constData(), &before);
        const auto written = WriteOnlineExport(c.target, text);
        ASSERT_FALSE(written) << qPrintable(c.target);
        EXPECT_TRUE(written.error().Reason().startsWith(QLatin1String(c.reason)))
            << qPrintable(c.target) << ": " << qPrintable(written.error().Reason());
        struct stat after = {};
        ::lstat(QFile::encodeName(c.target).constData(), &after);
        EXPECT_EQ(after.st_mode, before.st_mode) << qPrintable(c.target);
        EXPECT_EQ(after.st_ino, before.st_ino) << qPrintable(c.target);
    }
    EXPECT_EQ(QDir(Path(".")).entryList(QDir::Hidden | QDir::Files | QDir::System | QDir::NoDotAndDotDot),
              (haveNode ? QStringList{"full", "pipe"} : QStringList{"pipe"}));

    // A regular file is replaced whole, keeping its permissions; a symlink to one stays a link.
    ASSERT_TRUE(WriteBytes(Path("old.reg"), "old"));
    ASSERT_TRUE(QFile::setPermissions(Path("old.reg"), QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(QFile::link(Path("old.reg"), Path("link.reg")));
    ASSERT_TRUE(WriteOnlineExport(Path("link.reg"), text));
    EXPECT_TRUE(QFileInfo(Path("link.reg")).isSymLink());
    EXPECT_EQ(ReadAll(Path("old.reg")), text);
    EXPECT_EQ(QFile::permissions(Path("old.reg")),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

TEST_F(OnlineExportTest, ImportTakesBackWhatTheExportWrote)
{
    const OnlineSettings exported = WithLinks(Assigned(), Links());
    // Anything the file does not name stays; the file's empty values delete.
    OnlineSettings current;
    current.entries[0].name = QStringLiteral("Old");
    current.entries[0].link = QStringLiteral("http://old.example/o.png");
    const auto import = ReadOnlineImport(OnlineExportText(Assigned(), Links()), current);
    ASSERT_TRUE(import);
    EXPECT_TRUE(import->refused.isEmpty()) << qPrintable(import->refused.join(QLatin1Char('\n')));
    EXPECT_EQ(import->values.size(), 30);

    SettingsStore store(Path(QStringLiteral("config/Lumivale.ini")));
    ASSERT_TRUE(store.Write(setting::SlotValue(setting::kWebName, 0), QStringLiteral("Old")));
    ASSERT_TRUE(WriteBytes(Path(QStringLiteral("in.reg")), OnlineExportText(Assigned(), Links())));
    ASSERT_TRUE(ImportOnlineFile(Path(QStringLiteral("in.reg")), store));
    ExpectSame(OnlineSettings::Load(store), exported);

    // The same values as a registry editor 5 file in UTF-16LE with LF line ends.
    QString five = QStringLiteral(
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\CohLumivale]\n");
    for (const QString& name : OnlineValueNames()) {
        const QString value =
            SlotValueText(exported.entries[std::size_t(name.back().digitValue())], name.chopped(1));
        five += QStringLiteral("\"%1\"=\"%2\"\n")
                    .arg(name, QString(value)
                                   .replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
                                   .replace(QLatin1Char('"'), QStringLiteral("\\\"")));
    }
    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const auto fromFive = ReadOnlineImport(QByteArray(utf16.encode(five)), OnlineSettings());
    ASSERT_TRUE(fromFive);
    EXPECT_TRUE(fromFive->refused.isEmpty());
    SettingsStore fresh(Path(QStringLiteral("config/Fresh.ini")));
    ASSERT_TRUE(fresh.WriteValues(fromFive->values));
    ExpectSame(OnlineSettings::Load(fresh), exported);

    // An ANSI file (Windows-1252 é) and a UTF-8 one with its mark.
    const QByteArray ansi =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\CohLumivale]\r\n\"webName1\"=\"Caf\xE9\"\r\n";
    EXPECT_EQ(ReadOnlineImport(ansi, {})->values.value(0).second, QStringLiteral("Café"));
    const QByteArray marked =
        "\xEF\xBB\xBFREGEDIT4\n[HKEY_CURRENT_USER\\Software\\CohLumivale]\n\"webName1\"=\"Caf\xC3\xA9\"\n";
    EXPECT_EQ(ReadOnlineImport(marked, {})->values.value(0).second, QStringLiteral("Café"));
}

TEST_F(OnlineExportTest, HostileFilesAreRefusedValueByValue)
{
    const QByteArray file =
        "REGEDIT4\r\n"
        "[HKEY_CURRENT_USER\\Software\\CohLumivale]\r\n"
        "\"webName0\"=\"Evil\"\r\n\"webPath0\"=\"texture_library/../../..\"\r\n"
        "\"webFile0\"=\"x\"\r\n\"webWidth0\"=\"64\"\r\n\"webHeight0\"=\"64\"\r\n"
        "\"webPath1\"=\"/etc/texture_library\"\r\n\"webFile1\"=\"x\"\r\n"
        "\"webWidth1\"=\"64\"\r\n\"webHeight1\"=\"64\"\r\n"
        "\"webPath2\"=\"texture_library/A\"\r\n\"webFile2\"=\"x\"\r\n"
        "\"webWidth2\"=\"0\"\r\n\"webHeight2\"=\"64\"\r\n"
        "\"webPath3\"=\"texture_library/A\"\r\n\"webFile3\"=\"x\"\r\n"
        "\"webWidth3\"=\"64\"\r\n\"webHeight3\"=\"abc\"\r\n\"webLink3\"=\"http://ok.example/p.png\"\r\n"
        "\"webLink4\"=\"file:///etc/passwd\"\r\n"
        "\"CohPath\"=\"/tmp/elsewhere\"\r\n"
        "\"webWidth4\"=dword:00000040\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\CohLumivale]\r\n\"webName4\"=\"x\"\r\n";
    OnlineSettings current;
    current.entries[0].path = QStringLiteral("texture_library/Kept");
    const auto import = ReadOnlineImport(file, current);
    ASSERT_TRUE(import);
    // Only slot 3's address is taken.
    ASSERT_EQ(import->values.size(), 1);
    EXPECT_EQ(import->values[0].first, QStringLiteral("webLink3"));
    const QString refused = import->refused.join(QLatin1Char('\n'));
    for (const char* reason : {"slot 0", "webPath0", "slot 1", "webWidth2", "webHeight3", "webLink4",
                               "CohPath", "webWidth4 is not a text value", "HKEY_LOCAL_MACHINE"})
        EXPECT_TRUE(refused.contains(QLatin1String(reason))) << reason << '\n' << qPrintable(refused);

    // Not a registry editor file at all: nothing is taken.
    EXPECT_FALSE(
        ReadOnlineImport("WINE REGISTRY Version 2\n[Software\\\\CohLumivale]\n\"webName0\"=\"x\"\n", {}));
    EXPECT_FALSE(ReadOnlineImport(QByteArray("\x89PNG\r\n\x1a\n", 8), {}));
    SettingsStore store(Path(QStringLiteral("config/Lumivale.ini")));
    EXPECT_FALSE(ImportOnlineFile(Path(QStringLiteral("missing.reg")), store));
}

TEST_F(OnlineExportTest, ImportNamesEveryLineItDoesNotTake)
{
    const QByteArray file = QByteArray("REGEDIT4\r\n"
                                       "\"webName0\"=\"before\"\r\n"
                                       "[HKEY_CURRENT_USER\\Software\\CohLumivale]\r\n"
                                       "\"webName1\"=bogus\r\n"
                                       "\"webLink1\"=\"http://a=hex/x\\\r\n"
                                       "\"webLink2\"=\"http://b.example/t.png\"\r\n"
                                       "\"webLink3\"=\"http://a") +
                            '\0' + QByteArray("b\"\r\n");
    const char* const reports[] = {
        "Line 2 was ignored (a value before any [key] line): \"webName0\"=\"before\"",
        "Line 4 was ignored (not a line that can be read): \"webName1\"=bogus",
        "Line 5 was ignored (not a line that can be read): \"webLink1\"=\"http://a=hex/x\\",
        // A NUL does not cut the message short.
        "webLink3 (\"http://a\\0b\") was refused: ",
    };
    // The same with CR line ends only.
    for (const QByteArray& bytes : {file, QByteArray(file).replace("\r\n", "\r")}) {
        const auto import = ReadOnlineImport(bytes, {});
        ASSERT_TRUE(import);
        EXPECT_EQ(import->values,
                  (QList<QPair<QString, QString>>{
                      {QStringLiteral("webLink2"), QStringLiteral("http://b.example/t.png")}}));
        ASSERT_EQ(import->refused.size(), 4) << qPrintable(import->refused.join(u'\n'));
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(import->refused[i].startsWith(QString::fromUtf8(reports[i])))
                << qPrintable(import->refused[i]);
        EXPECT_GT(import->refused[3].size(), qsizetype(qstrlen(reports[3])));
    }
}

} // namespace
