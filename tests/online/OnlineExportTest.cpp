#include "online/OnlineExport.h"

#include "TestTools.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    rock.name = QStringLiteral("Rock \"big\" \\ café (64x64)");
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
    EXPECT_EQ(lines[26], QStringLiteral("\"webName4\"=\"Rock \\\"big\\\" \\\\ café (64x64)\"\r").toUtf8());

    // Written only once complete; an unwritable place is a failure with a reason.
    ASSERT_TRUE(WriteOnlineExport(Path(kExportFileName), text));
    EXPECT_EQ(ReadAll(Path(kExportFileName)), text);
    const auto failed = WriteOnlineExport(Path(QStringLiteral("missing/folder/x.reg")), text);
    ASSERT_FALSE(failed);
    EXPECT_FALSE(failed.error().Reason().isEmpty());
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

} // namespace
