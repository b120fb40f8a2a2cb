#include "SoundTools.h"
#include "app/FileNames.h"
#include "music/SoundConversion.h"
#include "music/SoundDecoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A folder without the module gives no decoder and a reason, never a crash.
TEST(SoundDecoderModule, MissingModuleIsAFailureThatNamesIt)
{
    QTemporaryDir empty;
    const auto decoder = LoadSoundDecoder(empty.path());
    ASSERT_FALSE(decoder.has_value());
    EXPECT_TRUE(decoder.error().Reason().contains(QStringLiteral("lumivale-sound-decoder.so")))
        << qPrintable(decoder.error().Reason());
    EXPECT_FALSE(LoadSoundDecoder(QString()).has_value());
}

// FFmpeg comes only with the module: neither the programs nor the logic that
// links the music library (this test program) needs it to start.
TEST(SoundDecoderModule, OnlyTheModuleLinksFfmpeg)
{
    const auto links = [](const QString& binary) {
        const ProcessResult r = RunTool(QStringLiteral("ldd"), {binary});
        EXPECT_EQ(r.exitCode, 0) << qPrintable(binary);
        return r.out.contains("libavcodec") || r.out.contains("libavformat");
    };
    EXPECT_TRUE(links(QStringLiteral(LUMIVALE_BIN_DIR "/lumivale-sound-decoder.so")));
    EXPECT_FALSE(links(QStringLiteral("/proc/self/exe")));
    for (const char* program : {"/lumivale", "/lumivale-cli"}) {
        const QString path = QStringLiteral(LUMIVALE_BIN_DIR) + QLatin1String(program);
        if (QFile::exists(path)) {
            EXPECT_FALSE(links(path)) << program;
        }
    }
}

class FfmpegDecoderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto loaded = LoadSoundDecoder(QStringLiteral(LUMIVALE_BIN_DIR));
        ASSERT_TRUE(loaded.has_value()) << qPrintable(loaded.error().Reason());
        m_decoder = std::move(*loaded);
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    // Decodes the whole file in reads of odd sizes; the PCM bytes, or -1 when
    // it does not open.
    qint64 DecodeAll(const QString& path)
    {
        if (!m_decoder->Open(path))
            return -1;
        std::vector<qint16> samples(2 * 5000);
        qint64 frames = 0;
        for (qint64 ask = 1;; ask = ask * 7 % 4999 + 1) {
            const qint64 n = m_decoder->Read(samples.data(), ask);
            EXPECT_LE(n, ask);
            if (n == 0)
                break;
            frames += n;
        }
        return frames * 2 * m_decoder->Channels();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<SoundDecoder> m_decoder;
};

TEST_F(FfmpegDecoderTest, EveryDialogFormatDecodesByContentNotByName)
{
    struct Case
    {
        const char* name; // deliberately the wrong ending
        QStringList output;
        int rate;
        int channels;
    };
    const QList<Case> cases = {
        {"mp3-as.wav", {"-c:a", "libmp3lame", "-f", "mp3"}, 44100, 2},
        {"mp2-as.ogg", {"-c:a", "mp2", "-f", "mp2"}, 48000, 2},
        {"aac-as.mp3", {"-c:a", "aac", "-f", "adts"}, 44100, 2},
        {"m4a-as.wma", {"-c:a", "aac", "-f", "ipod"}, 32000, 1},
        {"mp4-as.aac", {"-c:a", "aac", "-f", "mp4"}, 44100, 2},
        {"vorbis-as.mp4", {"-c:a", "libvorbis", "-f", "ogg"}, 22050, 2},
        {"wav-as.m4a", {"-c:a", "pcm_s16le", "-f", "wav"}, 11025, 1},
        {"wma-as.mp2", {"-c:a", "wmav2", "-f", "asf"}, 44100, 2},
        {"opus-as.mp1", {"-c:a", "libopus", "-f", "ogg"}, 48000, 2},
    };
    for (const Case& c : cases) {
        const QString path = Path(QString::fromLatin1(c.name));
        ASSERT_TRUE(MakeSound(path, 1.0, c.rate, c.channels, c.output)) << c.name;
        ASSERT_TRUE(m_decoder->Open(path)) << c.name << qPrintable(m_decoder->ErrorText());
        EXPECT_EQ(m_decoder->SampleRate(), c.rate) << c.name;
        EXPECT_EQ(m_decoder->Channels(), c.channels) << c.name;
        EXPECT_NEAR(double(m_decoder->EstimatedFrames()) / c.rate, 1.0, 0.1) << c.name;
        const qint64 bytes = DecodeAll(path);
        const double seconds = double(bytes) / (2.0 * c.channels * c.rate);
        EXPECT_NEAR(seconds, 1.0, 0.05) << c.name;
    }
}

TEST_F(FfmpegDecoderTest, SurroundMixesToStereoAndGuessedLengthsDecodeWhole)
{
    ASSERT_TRUE(
        MakeSound(Path("surround.wav"), 1.0, 48000, 6, {"-c:a", "pcm_s16le", "-channel_layout", "5.1"}));
    ASSERT_TRUE(m_decoder->Open(Path("surround.wav")));
    EXPECT_EQ(m_decoder->Channels(), 2);
    EXPECT_EQ(m_decoder->SampleRate(), 48000);
    EXPECT_EQ(DecodeAll(Path("surround.wav")), 48000 * 4);

    // A VBR MP3 without a length header and a raw AAC stream: their
    // containers only guess the length from the first frames' bit rate.
    ASSERT_TRUE(MakeSound(Path("vbr.mp3"), 6.0, 44100, 2,
                          {"-c:a", "libmp3lame", "-q:a", "0", "-write_xing", "0", "-id3v2_version", "0"}));
    ASSERT_TRUE(MakeSound(Path("raw.aac"), 6.0, 44100, 2, {"-c:a", "aac", "-f", "adts"}));
    for (const char* name : {"vbr.mp3", "raw.aac"}) {
        const double seconds = double(DecodeAll(Path(QString::fromLatin1(name)))) / (4.0 * 44100);
        EXPECT_NEAR(seconds, 6.0, 0.05) << name;
    }
}

TEST_F(FfmpegDecoderTest, BrokenSourcesAreRefusedOrCutWithoutACrash)
{
    QByteArray noise(64 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 2654435761u) >> 13);
    ASSERT_TRUE(WriteBytes(Path("noise.mp3"), noise));
    ASSERT_TRUE(WriteBytes(Path("empty.mp3"), QByteArray()));
    ASSERT_TRUE(QDir().mkdir(Path("folder.mp3")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("fifo.mp3")).constData(), 0600), 0);
    EXPECT_FALSE(m_decoder->Open(Path("noise.mp3")));
    EXPECT_FALSE(m_decoder->Open(Path("empty.mp3")));
    EXPECT_FALSE(m_decoder->Open(Path("fifo.mp3"))); // refused without waiting for a writer
    EXPECT_FALSE(m_decoder->Open(Path("folder.mp3")));
    EXPECT_EQ(m_decoder->ErrorText(), "The path names a folder, not a file.");
    EXPECT_FALSE(m_decoder->Open(Path("missing.mp3")));
    EXPECT_EQ(m_decoder->ErrorText(), "No such file or directory");
    EXPECT_EQ(m_decoder->SampleRate(), 0);
    EXPECT_EQ(m_decoder->Read(nullptr, 10), 0);

    // A truncated MP3 gives what it holds.
    ASSERT_TRUE(MakeSound(Path("whole.mp3"), 4.0, 44100, 2, {"-c:a", "libmp3lame"}));
    const QByteArray whole = ReadAll(Path("whole.mp3"));
    ASSERT_TRUE(WriteBytes(Path("half.mp3"), whole.left(whole.size() / 2 + 77)));
    const double seconds = double(DecodeAll(Path("half.mp3"))) / (4.0 * 44100);
    EXPECT_NEAR(seconds, 2.0, 0.1);
    EXPECT_TRUE(m_decoder->ErrorText().isEmpty());
}

// A name that is not UTF-8 (a Latin-1 "café.mp3") opens and converts: the
// file is opened by its bytes.
TEST_F(FfmpegDecoderTest, ANameThatIsNotUtf8Converts)
{
    ASSERT_TRUE(MakeSound(Path("cafe.mp3"), 1.0, 44100, 2, {"-c:a", "libmp3lame"}));
    const QByteArray bytes = QFile::encodeName(m_dir.path()) + "/caf\xe9.mp3";
    ASSERT_EQ(::link(QFile::encodeName(Path("cafe.mp3")).constData(), bytes.constData()), 0);
    const QString name = FileNameFromBytes(bytes);
    ASSERT_TRUE(m_decoder->Open(name)) << qPrintable(m_decoder->ErrorText());
    m_decoder->Close();

    std::atomic<bool> cancel{false};
    ConversionProgress progress;
    const Result<> converted =
        ConvertSoundFile(QStringLiteral(LUMIVALE_BIN_DIR), name, Path("out.ogg"), 0.5, cancel, progress);
    ASSERT_TRUE(converted.has_value()) << qPrintable(converted.error().Text());
    EXPECT_EQ(CheckConverted(Path("out.ogg"), Path("cafe.mp3")), QString());
    EXPECT_NEAR(double(progress.readBytes), 44100 * 4, 44100 * 4 * 0.05);
}

} // namespace
