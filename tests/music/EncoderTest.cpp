#include "SoundTools.h"
#include "music/clsDLL.h"
#include "music/clsEncoderOGG.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(clsDLL, CallsExportsByNameWithTypedArguments)
{
    clsDLL missing;
    EXPECT_FALSE(missing.LoadDLL(QStringLiteral("libno-such-library.so.9")));
    EXPECT_EQ(missing.ModuleHandle(), nullptr);
    EXPECT_FALSE(missing.CallFunc<int()>("getpid").has_value());

    clsDLL libm;
    ASSERT_TRUE(libm.LoadDLL(QStringLiteral("libm.so.6")));
    EXPECT_NE(libm.ModuleHandle(), nullptr);
    EXPECT_FALSE(libm.IsCDECL);
    // One array argument stands for its elements, the first element first: 2 * 3 + 4.
    const std::array<double, 3> arguments = {2.0, 3.0, 4.0};
    EXPECT_EQ(libm.CallFunc<double(double, double, double)>("fma", arguments).value(), 10.0);
    EXPECT_EQ(libm.CallFunc<double(double, double, double)>("fma", 4.0, 3.0, 2.0).value(), 14.0);
    // Floats go as floats.
    EXPECT_EQ(libm.CallFunc<float(float)>("fabsf", -0.4f).value(), 0.4f);

    clsDLL libc;
    ASSERT_TRUE(libc.LoadDLL(QStringLiteral("libc.so.6")));
    EXPECT_EQ(libc.CallFunc<int()>("getpid").value(), ::getpid());
    const Result<int> absent = libc.CallFunc<int()>("no_such_export");
    ASSERT_FALSE(absent.has_value());
    EXPECT_EQ(absent.error().Headline().text, "Export function not found in DLL!");
    EXPECT_EQ(absent.error().Reason(), "no_such_export");

    libc.UnloadDLL();
    EXPECT_EQ(libc.ModuleHandle(), nullptr);
}

TEST(clsEncoderOGG, SplitsSamplesIntoChannelsAsFloats)
{
    // L0, R0, L1, R1.
    const qint16 stereo[] = {-32768, 32767, 16384, -1};
    float left[2] = {}, right[2] = {};
    float* channels[] = {left, right};
    SplitSamples(reinterpret_cast<const char*>(stereo), 4, 2, channels);
    EXPECT_EQ(left[0], -1.0f);
    EXPECT_EQ(left[1], 0.5f);
    EXPECT_EQ(right[0], 32767.0f / 32768.0f);
    EXPECT_EQ(right[1], -1.0f / 32768.0f);

    // The samples are little-endian whatever the machine.
    const char mono[] = {'\x00', '\x80', '\x01', '\x00', '\xff', '\x7f'};
    float out[3] = {};
    float* one[] = {out};
    SplitSamples(mono, 3, 1, one);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[1], 1.0f / 32768.0f);
    EXPECT_EQ(out[2], 32767.0f / 32768.0f);
}

class EncoderTest : public ::testing::Test
{
protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    // A second of a stereo tone as 16-bit PCM.
    static QByteArray Tone(int rate, int channels, double seconds)
    {
        QByteArray pcm;
        const int frames = int(rate * seconds);
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                const qint16 s = qint16(12000 * std::sin(2 * M_PI * (440 + 220 * c) * f / rate));
                pcm.append(reinterpret_cast<const char*>(&s), 2);
            }
        }
        return pcm;
    }
    // Feeds pcm in chunks of 9000 bytes, as the conversion does.
    static void Feed(clsEncoderOGG& encoder, const QByteArray& pcm)
    {
        for (qsizetype at = 0; at < pcm.size(); at += 9000) {
            qint32 used = 0;
            const qint32 n = qint32(std::min<qsizetype>(9000, pcm.size() - at));
            EXPECT_TRUE(encoder.EncodeStream(pcm.constData() + at, n, used));
            EXPECT_EQ(used, n);
        }
    }

    QTemporaryDir m_dir;
    double m_draw = 0.123456;
    clsEncoderOGG m_encoder{[this] { return m_draw; }};
};

TEST_F(EncoderTest, RefusesWhatItCannotEncodeBeforeMakingAFile)
{
    EXPECT_FALSE(m_encoder.InitStream(44100, 2, Path("early.ogg")).has_value()); // libraries not loaded
    ASSERT_TRUE(m_encoder.InitEncoder()) << qPrintable(m_encoder.InitFailure().Text());
    EXPECT_FALSE(m_encoder.InitStream(44100, 3, Path("three.ogg")).has_value());
    EXPECT_FALSE(m_encoder.InitStream(0, 2, Path("zero.ogg")).has_value());
    EXPECT_FALSE(m_encoder.InitStream(44100, 2, QString()).has_value());
    EXPECT_TRUE(QDir(m_dir.path()).isEmpty());
    EXPECT_FALSE(m_encoder.InitStream(44100, 2, Path("no/such/folder.ogg")).has_value());

    qint32 used = 77;
    EXPECT_FALSE(m_encoder.EncodeStream("abcd", 4, used)); // no stream
    ASSERT_TRUE(m_encoder.InitStream(44100, 2, Path("short.ogg")).has_value());
    EXPECT_FALSE(m_encoder.EncodeStream("ab", 2, used));
    EXPECT_EQ(used, 77);
    EXPECT_TRUE(m_encoder.CloseStream().has_value());
    EXPECT_FALSE(m_encoder.CloseStream().has_value()); // nothing open any more

    // A missing library is named; nothing else is loaded from it.
    clsEncoderOGG broken([] { return 0.0; }, EncoderLibraries{QStringLiteral("libogg.so.0"),
                                                              QStringLiteral("libvorbis-missing.so.0"),
                                                              QStringLiteral("libvorbisenc.so.2")});
    EXPECT_FALSE(broken.InitEncoder());
    EXPECT_TRUE(broken.InitFailure().Reason().contains("libvorbis-missing.so.0"));
    EXPECT_FALSE(broken.InitStream(44100, 2, Path("never.ogg")).has_value());
    EXPECT_FALSE(QFileInfo::exists(Path("never.ogg")));
}

TEST_F(EncoderTest, FilesInARowAreCompleteWithTheirOwnSerialsAndHeaderPages)
{
    ASSERT_TRUE(m_encoder.InitEncoder());
    ASSERT_TRUE(m_encoder.InitStream(44100, 2, Path("first.ogg")).has_value());
    Feed(m_encoder, Tone(44100, 2, 1.0));
    m_draw = 0.5;
    // Opening the next stream completes the first.
    ASSERT_TRUE(m_encoder.InitStream(22050, 1, Path("second.ogg")).has_value());
    Feed(m_encoder, Tone(22050, 1, 0.5));
    ASSERT_TRUE(m_encoder.CloseStream().has_value());
    m_draw = 0.999999;
    // A stream with no audio at all is still a whole file.
    ASSERT_TRUE(m_encoder.InitStream(48000, 2, Path("empty.ogg")).has_value());
    ASSERT_TRUE(m_encoder.CloseStream().has_value());

    for (const char* name : {"first.ogg", "second.ogg"}) {
        QByteArray report;
        EXPECT_TRUE(OggInfoClean(Path(name), &report)) << name << report.constData();
    }
    // Without audio libvorbis ends the stream on a packet at granule position
    // 0, which ogginfo notes (its one complaint); the file is whole and reads
    // as no sound.
    const ProcessResult empty = RunTool(QStringLiteral("ogginfo"), {Path("empty.ogg")});
    EXPECT_FALSE(empty.out.toLower().contains("error")) << empty.out.constData();
    EXPECT_FALSE(empty.out.toLower().contains("warning")) << empty.out.constData();
    EXPECT_TRUE(empty.out.contains("Negative or zero granulepos (0)"));
    EXPECT_TRUE(empty.out.contains("Logical stream 1 ended"));
    EXPECT_EQ(Probe(Path("empty.ogg")).codec, "vorbis");
    const StreamFacts first = Probe(Path("first.ogg")), second = Probe(Path("second.ogg"));
    EXPECT_EQ(first.rate, 44100);
    EXPECT_EQ(first.channels, 2);
    EXPECT_NEAR(first.seconds, 1.0, 0.01);
    EXPECT_EQ(second.rate, 22050);
    EXPECT_EQ(second.channels, 1);
    EXPECT_NEAR(second.seconds, 0.5, 0.01);

    // Serial numbers (bytes 14 to 17 of every page): 0.123456 -> 12346, 0.5 -> 50000, 0.999999 -> 100000.
    EXPECT_EQ(U32At(ReadAll(Path("first.ogg")), 14), 12346u);
    EXPECT_EQ(U32At(ReadAll(Path("second.ogg")), 14), 50000u);
    EXPECT_EQ(U32At(ReadAll(Path("empty.ogg")), 14), 100000u);

    // The identification header alone on the first page, the comment and
    // setup headers on the second (granule position 0): the audio starts on
    // a fresh page.
    const QByteArray bytes = ReadAll(Path("first.ogg"));
    ASSERT_TRUE(bytes.startsWith("OggS"));
    EXPECT_EQ(quint8(bytes[26]), 1);  // one segment
    EXPECT_EQ(quint8(bytes[27]), 30); // of the 30-byte identification header
    const qsizetype second_page = 27 + 1 + 30;
    ASSERT_EQ(bytes.mid(second_page, 4), "OggS");
    EXPECT_EQ(bytes.mid(second_page + 6, 8), QByteArray(8, '\0'));
    EXPECT_EQ(bytes.mid(second_page + 27 + quint8(bytes[second_page + 26]), 7), QByteArray("\x03vorbis", 7));
}

TEST_F(EncoderTest, AFileThatCannotBeWrittenFailsTheStream)
{
    ASSERT_TRUE(m_encoder.InitEncoder());
    // Every write to /dev/full fails for want of space.
    ASSERT_TRUE(m_encoder.InitStream(44100, 2, QStringLiteral("/dev/full")).has_value());
    // Noise: pages fill at once.
    QByteArray pcm(44100 * 4 * 2, '\0');
    quint32 state = 1;
    for (char& byte : pcm)
        byte = char((state = state * 1664525u + 1013904223u) >> 24);
    qint32 used = 0;
    bool refused = false;
    for (qsizetype at = 0; at < pcm.size() && !refused; at += 9000)
        refused = !m_encoder.EncodeStream(pcm.constData() + at, 9000, used);
    EXPECT_TRUE(refused);
    ASSERT_TRUE(m_encoder.StreamFailure().has_value());
    const Result<> closed = m_encoder.CloseStream();
    ASSERT_FALSE(closed.has_value());
    EXPECT_TRUE(closed.error().Reason().contains("No space left on device"))
        << qPrintable(closed.error().Text());
    EXPECT_FALSE(m_encoder.StreamOpen());
}

} // namespace
