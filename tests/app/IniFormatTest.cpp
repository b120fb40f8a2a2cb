#include "app/IniFormat.h"

#include "TestTools.h"
#include "app/SettingsStore.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace {

// Texts that exercise every rule of the escaping: blanks at the ends, list
// separators, quotes, comment and section characters, line breaks, control
// characters, a leading '@', non-Latin text and characters beyond 16 bits.
const QStringList& Texts()
{
    static const QStringList texts = {
        QStringLiteral(" 1"),
        QStringLiteral("  padded  "),
        QStringLiteral("a, b, c"),
        QStringLiteral("\"quoted\" ; not a comment"),
        QStringLiteral("[group]\nx=1"),
        QStringLiteral("@Variant(junk)"),
        QStringLiteral("@@twice"),
        QStringLiteral("Ünïcödé 名前 \U0001F600"),
        QStringLiteral("C:\\Games\\City of Heroes"),
        QStringLiteral("tab\there\rand\vmore\x01\x1f"
                       "0x"),
        QStringLiteral("equals=sign"),
        QString(QChar(0)) + QStringLiteral("af"),
    };
    return texts;
}

class IniFormatTest : public ::testing::Test
{
protected:
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

// Files written by QSettings' own INI format (the program's earlier versions)
// read the same, and files written now read the same in QSettings.
TEST_F(IniFormatTest, ReadsAndWritesWhatQSettingsIniDoes)
{
    {
        QSettings old(Path("old.ini"), QSettings::IniFormat);
        for (int i = 0; i < Texts().size(); ++i)
            old.setValue(QStringLiteral("Software/CohLumivale/Value%1").arg(i), Texts()[i]);
        old.setValue(QStringLiteral("Software/Cryptic/Coh/Installation Directory"),
                     QStringLiteral("C:\\CoH"));
        old.setValue(QStringLiteral("TopLevel"), QStringLiteral("general section"));
    }
    const QMap<QString, QString> read = ini::Parse(ReadAll(Path("old.ini")));
    for (int i = 0; i < Texts().size(); ++i)
        EXPECT_EQ(read.value(QStringLiteral("Software/CohLumivale/Value%1").arg(i)), Texts()[i]) << i;
    EXPECT_EQ(read.value(QStringLiteral("Software/Cryptic/Coh/Installation Directory")),
              QStringLiteral("C:\\CoH"));
    EXPECT_EQ(read.value(QStringLiteral("TopLevel")), QStringLiteral("general section"));

    ASSERT_TRUE(WriteBytes(Path("new.ini"), ini::Serialise(read)));
    const QByteArray text = ReadAll(Path("new.ini"));
    EXPECT_TRUE(text.startsWith("[General]\nTopLevel=general section\n\n[Software]\n")) << text.constData();
    EXPECT_TRUE(text.contains("\nCohLumivale\\Value0=\" 1\"\n")) << text.constData();
    QSettings again(Path("new.ini"), QSettings::IniFormat);
    for (int i = 0; i < Texts().size(); ++i)
        EXPECT_EQ(again.value(QStringLiteral("Software/CohLumivale/Value%1").arg(i)).toString(), Texts()[i])
            << i;
    EXPECT_EQ(again.value(QStringLiteral("Software/Cryptic/Coh/Installation Directory")).toString(),
              QStringLiteral("C:\\CoH"));
}

// A serialised value is not text: it reads as empty and is never turned into
// anything, however much it claims to hold; the rest of the file stays usable.
TEST_F(IniFormatTest, SerialisedValuesAreNeverDecoded)
{
    ASSERT_TRUE(WriteBytes(Path("hostile.ini"),
                           "[Software]\n"
                           "CohLumivale\\FrameHL=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n"
                           "CohLumivale\\FrameHC=\"@Variant(\\0\\0\\0\\n\\0\\0\\0\\x2)\"\n"
                           "CohLumivale\\Frames=\\x40Rect(1 2 3 4)\n"
                           "CohLumivale\\CohPath=/games/coh\n"
                           "CohLumivale\\Raw=@ByteArray(abc)\n"));
    SettingsStore store(Path("hostile.ini"));
    EXPECT_EQ(store.Read(QStringLiteral("FrameHL")), QString());
    EXPECT_EQ(store.Read(QStringLiteral("FrameHC")), QString());
    EXPECT_EQ(store.Read(QStringLiteral("Frames")), QString());
    EXPECT_EQ(store.Read(QStringLiteral("Raw")), QStringLiteral("abc"));
    EXPECT_EQ(store.Read(QStringLiteral("CohPath")), QStringLiteral("/games/coh"));
    // Writing merges with the file without decoding it either.
    ASSERT_TRUE(store.Write(QStringLiteral("CohWidth"), QStringLiteral("1920")));
    EXPECT_EQ(store.Read(QStringLiteral("CohWidth")), QStringLiteral("1920"));
    EXPECT_EQ(store.Read(QStringLiteral("CohPath")), QStringLiteral("/games/coh"));
}

// Settings files that are not the program's own are read as empty, warned
// about, and never rewritten: a FIFO (which would block), a huge file, a file
// that cannot be read.
TEST_F(IniFormatTest, UnusableSettingsFilesGiveDefaultsAndStayAsTheyAre)
{
    const QString fifo = Path("fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    SettingsStore fromFifo(fifo);
    EXPECT_EQ(fromFifo.Read(QStringLiteral("CohPath")), QString());
    EXPECT_FALSE(fromFifo.Write(QStringLiteral("CohPath"), QStringLiteral("/g")));
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_FALSE(QFileInfo(fifo).isFile());

    QByteArray huge = "[Software]\nCohLumivale\\CohPath=/games/coh\n";
    huge += QByteArray(2 * 1024 * 1024, ';');
    ASSERT_TRUE(WriteBytes(Path("huge.ini"), huge));
    timer.restart();
    SettingsStore fromHuge(Path("huge.ini"));
    EXPECT_EQ(fromHuge.Read(QStringLiteral("CohPath")), QString());
    EXPECT_FALSE(fromHuge.Write(QStringLiteral("CohWidth"), QStringLiteral("1")));
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_EQ(ReadAll(Path("huge.ini")), huge);
}

TEST_F(IniFormatTest, SurvivesRandomAndTruncatedInput)
{
    QByteArray sample;
    for (const QString& t : Texts())
        sample += "[Software]\nCohLumivale\\X=" + ini::EscapedValue(t) + "\n";
    for (qsizetype cut = 0; cut <= sample.size(); ++cut)
        ini::Parse(sample.left(cut));
    std::mt19937 rng(11);
    const char alphabet[] = "[]=\\\";,@\n\r\t x0aU%()";
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes(qsizetype(rng() % 200), '\0');
        for (char& c : bytes)
            c = rng() % 3 == 0 ? char(rng()) : alphabet[rng() % (sizeof alphabet - 1)];
        ini::Parse(bytes);
    }
    SUCCEED();
}

} // namespace
