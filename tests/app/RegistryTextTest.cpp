#include "app/RegistryText.h"

#include "TestTools.h"

#include <gtest/gtest.h>
#include <random>

namespace {

bool HasKey(const RegistryText& reg, const QString& path)
{
    return reg.FindKey(path) != nullptr;
}

// user.reg as Wine 8 writes it.
const QByteArray kUserReg =
    QByteArrayLiteral("WINE REGISTRY Version 2\n"
                      ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n"
                      "\n"
                      "#arch=win32\n"
                      "\n"
                      "[Software\\\\Cryptic\\\\Coh] 1796715068\n"
                      "#time=1d9a2b3c4d5e6f7\n"
                      "\"Installation Directory\"=\"C:\\\\Games\\\\City of Heroes\"\n"
                      "\"screenX\"=\"1280\"\n"
                      "\"ScreenY\"=dword:0000012c\n"
                      "\"Quote\"=\"say \\\"hi\\\"\\n\\ttab\"\n"
                      "\"Wide\"=\"caf\\xe9 \\x20ac\"\n"
                      "\"Octal\"=\"a\\0b\"\n"
                      "\"Expand\"=str(2):\"%USERPROFILE%\\\\x\"\n"
                      "\"Path\"=hex(2):25,00,55,00,53,00,45,00,52,00,50,00,52,00,4f,00,46,00,49,00,4c,00,\\\n"
                      "  45,00,25,00,00,00\n"
                      "@=\"default text\"\n"
                      "\n"
                      "[Software\\\\Cryptic\\\\Coh\\\\Sub] 1796715069\n"
                      "#time=1d9a2b3c4d5e6f8\n"
                      "\"Bin\"=hex:01,02,ff\n"
                      "\"After\"=\"still read\"\n");

TEST(RegistryTextTest, ReadsWineUserRegistry)
{
    const RegistryText reg = RegistryText::Parse(kUserReg);
    const QString coh = QStringLiteral("Software\\Cryptic\\Coh");
    EXPECT_TRUE(HasKey(reg, coh));
    EXPECT_TRUE(HasKey(reg, QStringLiteral("SOFTWARE\\cryptic\\COH")));
    EXPECT_FALSE(HasKey(reg, QStringLiteral("Software\\Cryptic")));
    EXPECT_EQ(reg.Value(coh, QStringLiteral("installation directory")),
              QStringLiteral("C:\\Games\\City of Heroes"));
    EXPECT_EQ(reg.Value(coh, QStringLiteral("screenX")), QStringLiteral("1280"));
    EXPECT_EQ(reg.Value(coh, QStringLiteral("screenY")), QStringLiteral("300"));
    EXPECT_EQ(reg.Value(coh, QStringLiteral("Quote")), QStringLiteral("say \"hi\"\n\ttab"));
    EXPECT_EQ(reg.Value(coh, QStringLiteral("Wide")), QString::fromUtf8("café €"));
    EXPECT_EQ(reg.Value(coh, QStringLiteral("Octal")), QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
    EXPECT_EQ(reg.Value(coh, QStringLiteral("Expand")), QStringLiteral("%USERPROFILE%\\x"));
    EXPECT_EQ(reg.Value(coh, QString()), QStringLiteral("default text"));
    EXPECT_EQ(reg.Value(coh, QStringLiteral("Missing")), QString());

    // hex values are kept as bytes but read as no text, also when continued over lines.
    EXPECT_EQ(reg.Value(coh, QStringLiteral("Path")), QString());
    const RegistryKey* key = reg.FindKey(coh);
    ASSERT_NE(key, nullptr);
    const auto path = std::find_if(key->values.begin(), key->values.end(),
                                   [](const RegistryValue& v) { return v.name == QLatin1String("Path"); });
    ASSERT_NE(path, key->values.end());
    EXPECT_EQ(path->type, 2u);
    EXPECT_EQ(path->data.size(), 28);
    EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(path->data.constData())),
              QStringLiteral("%USERPROFILE%"));

    const QString sub = QStringLiteral("Software\\Cryptic\\Coh\\Sub");
    EXPECT_EQ(reg.Value(sub, QStringLiteral("Bin")), QString());
    EXPECT_EQ(reg.FindKey(sub)->values.first().data, QByteArray("\x01\x02\xff", 3));
    EXPECT_EQ(reg.Value(sub, QStringLiteral("After")), QStringLiteral("still read"));
    EXPECT_EQ(reg.Keys().size(), 2);
}

TEST(RegistryTextTest, CrlfAndMissingFinalNewline)
{
    QByteArray crlf = kUserReg;
    crlf.replace("\n", "\r\n");
    crlf.chop(2);
    const RegistryText reg = RegistryText::Parse(crlf);
    EXPECT_EQ(reg.Value(QStringLiteral("Software\\Cryptic\\Coh"), QStringLiteral("screenX")),
              QStringLiteral("1280"));
    EXPECT_EQ(reg.Value(QStringLiteral("Software\\Cryptic\\Coh\\Sub"), QStringLiteral("After")),
              QStringLiteral("still read"));
    EXPECT_EQ(reg.FindKey(QStringLiteral("Software\\Cryptic\\Coh"))->values.size(), 9);
}

TEST(RegistryTextTest, ReadsEditorExports)
{
    const QByteArray regedit4 = QByteArrayLiteral("REGEDIT4\r\n\r\n"
                                                  "[HKEY_CURRENT_USER\\Software\\CohLumivale]\r\n"
                                                  "\"webLink0\"=\"http://example.org/a b.jpg\"\r\n"
                                                  "\"webWidth0\"=\"512\"\r\n"
                                                  "\"Gone\"=-\r\n"
                                                  "[-HKEY_CURRENT_USER\\Software\\Removed]\r\n"
                                                  "\"Orphan\"=\"x\"\r\n");
    const RegistryText reg = RegistryText::Parse(regedit4);
    const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\CohLumivale");
    EXPECT_EQ(reg.Value(key, QStringLiteral("webLink0")), QStringLiteral("http://example.org/a b.jpg"));
    EXPECT_EQ(reg.Value(key, QStringLiteral("WEBWIDTH0")), QStringLiteral("512"));
    EXPECT_EQ(reg.Value(key, QStringLiteral("Gone")), QString());
    // A deleted key takes no values, and the values after it do not fall into the previous key.
    EXPECT_FALSE(HasKey(reg, QStringLiteral("HKEY_CURRENT_USER\\Software\\Removed")));
    EXPECT_EQ(reg.Value(key, QStringLiteral("Orphan")), QString());
    EXPECT_EQ(reg.Keys().size(), 1);

    // Version 5 exports are UTF-16 with a byte order mark.
    const QString v5 = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                      "[HKEY_CURRENT_USER\\Software\\CohLumivale]\r\n"
                                      "\"webName1\"=\"Ünïcödé\"\r\n");
    QByteArray utf16("\xff\xfe", 2);
    utf16.append(reinterpret_cast<const char*>(v5.utf16()), v5.size() * 2);
    EXPECT_EQ(RegistryText::Parse(utf16).Value(key, QStringLiteral("webName1")),
              QString::fromUtf8("Ünïcödé"));
}

TEST(RegistryTextTest, MalformedLinesAreSkippedAndListed)
{
    const QByteArray text = QByteArrayLiteral("WINE REGISTRY Version 2\n"
                                              "\"BeforeAnyKey\"=\"x\"\n"
                                              "[Unclosed\\\\Key 12\n"
                                              "\"InUnclosed\"=\"x\"\n"
                                              "[Good] 1\n"
                                              "\"Unterminated\"=\"abc\n"
                                              "\"NoEquals\" \"x\"\n"
                                              "\"BadDword\"=dword:xyz\n"
                                              "\"BigDword\"=dword:123456789\n"
                                              "\"BadHex\"=hex:1,zz\n"
                                              "garbage line\n"
                                              "\"Swallows\"=\"a=hex\\\n"
                                              "\"Next\"=\"read\"\n"
                                              "\"Ok\"=\"fine\"\n"
                                              "\"Ok\"=\"later wins\"\n");
    // The same with CR line ends only.
    for (const QByteArray& bytes : {text, QByteArray(text).replace('\n', '\r')}) {
        const RegistryText reg = RegistryText::Parse(bytes);
        EXPECT_FALSE(HasKey(reg, QStringLiteral("Unclosed\\Key")));
        ASSERT_TRUE(HasKey(reg, QStringLiteral("Good")));
        EXPECT_EQ(reg.FindKey(QStringLiteral("good"))->values.size(), 2);
        EXPECT_EQ(reg.Value(QStringLiteral("Good"), QStringLiteral("ok")), QStringLiteral("later wins"));
        EXPECT_EQ(reg.Value(QStringLiteral("Good"), QStringLiteral("next")), QStringLiteral("read"));
        QList<int> numbers;
        for (const RegistrySkippedLine& line : reg.Skipped())
            numbers << line.number;
        EXPECT_EQ(numbers, (QList<int>{2, 3, 4, 6, 7, 8, 9, 10, 11, 12}));
        ASSERT_EQ(reg.Skipped().size(), 10);
        EXPECT_EQ(reg.Skipped()[0].reason, QStringLiteral("a value before any [key] line"));
        EXPECT_EQ(reg.Skipped()[2].reason, QStringLiteral("a value of a key that was not read"));
        EXPECT_EQ(reg.Skipped()[9].text, QStringLiteral("\"Swallows\"=\"a=hex\\"));
    }
}

// Random bytes and every truncation of a valid file: never a crash or a hang.
TEST(RegistryTextTest, SurvivesRandomAndTruncatedInput)
{
    for (qsizetype length = 0; length <= kUserReg.size(); ++length) {
        const RegistryText reg = RegistryText::Parse(QByteArrayView(kUserReg).first(length));
        // Whatever was read completely is read right.
        const QString folder =
            reg.Value(QStringLiteral("Software\\Cryptic\\Coh"), QStringLiteral("Installation Directory"));
        EXPECT_TRUE(folder.isEmpty() || folder == QStringLiteral("C:\\Games\\City of Heroes")) << length;
    }

    std::mt19937 random(20260);
    const QByteArray alphabet = QByteArrayLiteral("[]\\\"=@:,()#;\r\n xhexdwordstr0123456789abcdef");
    for (int iteration = 0; iteration < 4000; ++iteration) {
        QByteArray bytes;
        const int size = int(random() % 300);
        const bool structured = iteration % 2 == 0;
        for (int i = 0; i < size; ++i)
            bytes.append(structured ? alphabet[int(random() % alphabet.size())] : char(random() & 0xff));
        if (iteration % 4 == 0)
            bytes.prepend("WINE REGISTRY Version 2\n[A\\\\B] 1\n");
        const RegistryText reg = RegistryText::Parse(bytes);
        for (const RegistryKey& key : reg.Keys())
            (void)reg.Value(key.path, QStringLiteral("x"));
    }

    // Mutations of the valid file: flip, drop or duplicate bytes.
    for (int iteration = 0; iteration < 2000; ++iteration)
        (void)RegistryText::Parse(Mutated(kUserReg, random, 5));
}

} // namespace
