#include "SoundTools.h"
#include "music/OggVorbisEncoder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

TEST(OggVorbisEncoder, SplitsSamplesIntoChannelsAsFloats)
{
    // L0, R0, L1, R1.
    const qint16 stereo[] = {-32768, 32767, 16384, -1};
    float left[2] = {}, right[2] = {};
    float* channels[] = {left, right};
    SplitSamples(stereo, 2, 2, channels);
    EXPECT_EQ(left[0], -1.0f);
    EXPECT_EQ(left[1], 0.5f);
    EXPECT_EQ(right[0], 32767.0f / 32768.0f);
    EXPECT_EQ(right[1], -1.0f / 32768.0f);

    const qint16 mono[] = {-32768, 1, 32767};
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
    // A tone as interleaved 16-bit samples.
    static std::vector<qint16> Tone(int rate, int channels, double seconds)
    {
        std::vector<qint16> pcm;
        const int frames = int(rate * seconds);
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c)
                pcm.push_back(qint16(12000 * std::sin(2 * M_PI * (440 + 220 * c) * f / rate)));
        }
        return pcm;
    }
    // Feeds pcm in chunks of 4096 frames, as the conversion does.
    static void Feed(OggVorbisEncoder& encoder, const std::vector<qint16>& pcm, int channels)
    {
        const qint32 frames = qint32(pcm.size()) / channels;
        for (qint32 at = 0; at < frames; at += 4096)
            EXPECT_TRUE(encoder.Encode(pcm.data() + std::size_t(at * channels), std::min(4096, frames - at)));
    }

    QTemporaryDir m_dir;
    double m_draw = 0.123456;
    OggVorbisEncoder m_encoder{[this] { return m_draw; }};
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

    const qint16 frame[2] = {1, 2};
    EXPECT_FALSE(m_encoder.Encode(frame, 1)); // no stream
    ASSERT_TRUE(m_encoder.InitStream(44100, 2, Path("short.ogg")).has_value());
    EXPECT_FALSE(m_encoder.Encode(frame, 0));
    EXPECT_TRUE(m_encoder.CloseStream().has_value());
    EXPECT_FALSE(m_encoder.CloseStream().has_value()); // nothing open any more

    // A missing library is named; nothing else is loaded from it.
    OggVorbisEncoder broken([] { return 0.0; }, EncoderLibraries{QStringLiteral("libogg.so.0"),
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
    Feed(m_encoder, Tone(44100, 2, 1.0), 2);
    m_draw = 0.5;
    // Opening the next stream completes the first.
    ASSERT_TRUE(m_encoder.InitStream(22050, 1, Path("second.ogg")).has_value());
    Feed(m_encoder, Tone(22050, 1, 0.5), 1);
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
    std::vector<qint16> pcm(2 * 4096 * 22); // 2 s of stereo, whole chunks
    quint32 state = 1;
    for (qint16& sample : pcm)
        sample = qint16((state = state * 1664525u + 1013904223u) >> 16);
    bool refused = false;
    for (std::size_t at = 0; at < pcm.size() && !refused; at += 2 * 4096)
        refused = !m_encoder.Encode(pcm.data() + at, 4096);
    EXPECT_TRUE(refused);
    ASSERT_TRUE(m_encoder.StreamFailure().has_value());
    const Result<> closed = m_encoder.CloseStream();
    ASSERT_FALSE(closed.has_value());
    EXPECT_TRUE(closed.error().Reason().contains("No space left on device"))
        << qPrintable(closed.error().Text());
    EXPECT_FALSE(m_encoder.StreamOpen());
}

} // namespace
