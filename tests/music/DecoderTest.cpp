#include "SoundTools.h"
#include "music/clsWinampPlugin.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A plug-in host with a stream of the given shape; Read hands out `delivers`
// bytes of PCM in all, whatever the length it reports.
class FakeHost : public SoundPluginHost
{
public:
    qint32 plugins = 3;
    qint32 rate = 44100;
    qint32 channels = 2;
    qint32 lengthMs = 180000;
    qint64 delivers = 0;
    int reads = 0;
    qint32 seekedTo = -1;

    qint32 Initialise(quintptr, const QString&) override { return plugins; }
    void CleanUp() override {}
    qint32 OpenStream(const QString&) override { return m_open = true; }
    void CloseStream() override { m_open = false; }
    qint32 Read(char* buffer, qint32 count) override
    {
        ++reads;
        const qint32 n = qint32(std::min<qint64>(count, delivers - m_given));
        std::fill_n(buffer, n, '\x11');
        m_given += n;
        return n;
    }
    qint32 GetBufferSize() override { return 9000; }
    qint32 GetSampleRate() override { return m_open ? rate : 0; }
    qint32 GetChannels() override { return m_open ? channels : 0; }
    qint32 GetTrackTotalTime() override { return m_open ? lengthMs : 0; }
    qint32 GetPluginCount() override { return plugins; }
    void Seek(qint32 ms, qint32) override { seekedTo = ms; }
    QString LastError() const override { return QString(); }

private:
    bool m_open = false;
    qint64 m_given = 0;
};

struct Decoder
{
    FakeHost* host;
    std::unique_ptr<clsWinampPlugin> plugin;
};

Decoder Make()
{
    auto host = std::make_unique<FakeHost>();
    FakeHost* raw = host.get();
    return {raw, std::make_unique<clsWinampPlugin>(std::move(host))};
}

TEST(clsWinampPlugin, EstimatesTheLengthFromTheStreamAndItsName)
{
    Decoder d = Make();
    EXPECT_FALSE(d.plugin->OpenFile("song.mp3")); // not initialised: no plug-ins
    ASSERT_EQ(d.plugin->Init(QStringLiteral("/program"), 0), 3);
    EXPECT_EQ(d.plugin->SampleRate(), 0);
    EXPECT_EQ(d.plugin->TrackCurrentTime(), 0);

    ASSERT_TRUE(d.plugin->OpenFile("song.mp3"));
    EXPECT_EQ(d.plugin->TotalBytes(), 31752000);
    EXPECT_EQ(d.plugin->ReadBytes(), 0);
    // The same stream in a file named in upper-case M4A: 9000 bytes less.
    ASSERT_TRUE(d.plugin->OpenFile("song.M4A"));
    EXPECT_EQ(d.plugin->TotalBytes(), 31743000);

    d.plugin->TrackSeek(1000);
    EXPECT_EQ(d.host->seekedTo, 1000);
    EXPECT_EQ(d.plugin->ReadBytes(), 176400);
    EXPECT_EQ(d.plugin->TrackCurrentTime(), 1000);
    EXPECT_EQ(d.plugin->TrackTotalTime(), 180000);

    d.plugin->CloseFile();
    EXPECT_EQ(d.plugin->SampleRate(), 0);
    EXPECT_EQ(d.plugin->Channels(), 0);
    EXPECT_EQ(d.plugin->TrackTotalTime(), 0);
    EXPECT_EQ(d.plugin->TrackCurrentTime(), 0);
    char buffer[kChunkBytes];
    EXPECT_EQ(d.plugin->ConvertChunk(buffer), 0);

    d.host->plugins = 0;
    d.plugin->Init(QString(), 0);
    EXPECT_FALSE(d.plugin->OpenFile("song.mp3"));
}

TEST(clsWinampPlugin, ReadsToTheEndOfTheStreamWhateverTheEstimate)
{
    // The container guesses 1 s; the stream holds 1.5 s.
    Decoder d = Make();
    d.host->lengthMs = 1000;
    d.host->delivers = 264600;
    d.plugin->Init(QString(), 0);
    ASSERT_TRUE(d.plugin->OpenFile("raw.aac"));
    EXPECT_EQ(d.plugin->TotalBytes(), 176400);
    char buffer[kChunkBytes];
    qint64 got = 0;
    while (const qint32 n = d.plugin->ConvertChunk(buffer)) {
        got += n;
        EXPECT_LE(d.plugin->ReadBytes(), d.plugin->TotalBytes());
    }
    EXPECT_EQ(got, 264600);
    EXPECT_EQ(d.plugin->ReadBytes(), 264600);
    EXPECT_EQ(d.plugin->TotalBytes(), 264600);

    // An m4a whose estimate comes out below nothing still yields its sound.
    Decoder tiny = Make();
    tiny.host->lengthMs = 40;
    tiny.host->delivers = 7056;
    tiny.plugin->Init(QString(), 0);
    ASSERT_TRUE(tiny.plugin->OpenFile("blip.m4a"));
    EXPECT_LT(tiny.plugin->TotalBytes(), 0);
    EXPECT_EQ(tiny.plugin->ConvertChunk(buffer), 7056);
    EXPECT_EQ(tiny.plugin->ConvertChunk(buffer), 0);
}

// The decoders come from a plug-in module: a folder without it gives no
// decoders and a reason, never a crash.
TEST(SoundPluginModule, MissingModuleGivesNoDecodersAndSaysWhy)
{
    QTemporaryDir empty;
    clsWinampPlugin plugin;
    EXPECT_EQ(plugin.Init(empty.path(), 0), 0);
    EXPECT_TRUE(plugin.LastError().contains(QStringLiteral("lumivale-waplugin.so")))
        << qPrintable(plugin.LastError());
    EXPECT_FALSE(plugin.OpenFile(QStringLiteral(LUMIVALE_TEST_DATA "/nothing.mp3")));
    EXPECT_EQ(plugin.ConvertChunk(nullptr), 0);
}

class FfmpegDecoderTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_GT(m_decoder.Init(QStringLiteral(LUMIVALE_BIN_DIR), 0), 0); }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    // Decodes the whole file; the PCM bytes, or -1 when it does not open.
    qint64 DecodeAll(const QString& path)
    {
        if (!m_decoder.OpenFile(path))
            return -1;
        char buffer[kChunkBytes];
        qint64 total = 0;
        while (const qint32 n = m_decoder.ConvertChunk(buffer)) {
            EXPECT_EQ(n % (2 * m_decoder.Channels()), 0);
            total += n;
        }
        return total;
    }

    QTemporaryDir m_dir;
    clsWinampPlugin m_decoder;
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
        ASSERT_TRUE(m_decoder.OpenFile(path)) << c.name << qPrintable(m_decoder.LastError());
        EXPECT_EQ(m_decoder.SampleRate(), c.rate) << c.name;
        EXPECT_EQ(m_decoder.Channels(), c.channels) << c.name;
        const qint64 bytes = DecodeAll(path);
        const double seconds = double(bytes) / (2.0 * c.channels * c.rate);
        EXPECT_NEAR(seconds, 1.0, 0.05) << c.name;
        EXPECT_EQ(m_decoder.ReadBytes(), bytes) << c.name;
    }
}

TEST_F(FfmpegDecoderTest, SurroundMixesToStereoAndGuessedLengthsDecodeWhole)
{
    ASSERT_TRUE(
        MakeSound(Path("surround.wav"), 1.0, 48000, 6, {"-c:a", "pcm_s16le", "-channel_layout", "5.1"}));
    ASSERT_TRUE(m_decoder.OpenFile(Path("surround.wav")));
    EXPECT_EQ(m_decoder.Channels(), 2);
    EXPECT_EQ(m_decoder.SampleRate(), 48000);
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
    EXPECT_FALSE(m_decoder.OpenFile(Path("noise.mp3")));
    EXPECT_FALSE(m_decoder.OpenFile(Path("empty.mp3")));
    EXPECT_FALSE(m_decoder.OpenFile(Path("folder.mp3")));
    EXPECT_EQ(m_decoder.LastError(), "The path names a folder, not a file.");
    EXPECT_FALSE(m_decoder.OpenFile(Path("missing.mp3")));
    EXPECT_FALSE(m_decoder.LastError().isEmpty());

    // A truncated MP3 gives what it holds.
    ASSERT_TRUE(MakeSound(Path("whole.mp3"), 4.0, 44100, 2, {"-c:a", "libmp3lame"}));
    const QByteArray whole = ReadAll(Path("whole.mp3"));
    ASSERT_TRUE(WriteBytes(Path("half.mp3"), whole.left(whole.size() / 2 + 77)));
    const double seconds = double(DecodeAll(Path("half.mp3"))) / (4.0 * 44100);
    EXPECT_NEAR(seconds, 2.0, 0.1);
    EXPECT_TRUE(m_decoder.LastError().isEmpty());
}

} // namespace
