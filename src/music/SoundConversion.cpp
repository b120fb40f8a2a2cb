#include "music/SoundConversion.h"

#include "music/OggVorbisEncoder.h"
#include "music/SoundDecoder.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Frames in one chunk from the decoder to the encoder.
constexpr qint64 kChunkFrames = 4096;
// Progress is reported after this many chunks (about 4.6 s of CD sound).
constexpr int kChunksPerReport = 50;
// Chunks decoded ahead of the encoder (about 6 s of CD sound): enough to ride
// out the decoding thread being scheduled out on a busy machine.
constexpr std::size_t kChunksAhead = 64;
// The unit of the progress range: 9000 bytes of PCM.
constexpr qint64 kProgressUnitBytes = 9000;

struct Chunk
{
    std::array<qint16, 2 * kChunkFrames> samples;
    qint64 frames = 0;
    qint64 readBytes = 0;
};

// Chunks from the decoding thread to the encoding one, with a fixed number of
// buffers going round.
class ChunkQueue
{
public:
    ChunkQueue() : m_buffers(kChunksAhead)
    {
        for (Chunk& c : m_buffers)
            m_free.push_back(&c);
    }
    // A free buffer, or null once stopped.
    Chunk* TakeFree()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || !m_free.empty(); });
        if (m_stopped)
            return nullptr;
        Chunk* c = m_free.front();
        m_free.pop_front();
        return c;
    }
    void PushFull(Chunk* c)
    {
        {
            std::lock_guard lock(m_mutex);
            m_full.push_back(c);
        }
        m_changed.notify_all();
    }
    Chunk* TakeFull()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_full.empty(); });
        Chunk* c = m_full.front();
        m_full.pop_front();
        return c;
    }
    void GiveBack(Chunk* c)
    {
        {
            std::lock_guard lock(m_mutex);
            m_free.push_back(c);
        }
        m_changed.notify_all();
    }
    void Stop()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
    }

private:
    std::vector<Chunk> m_buffers;
    std::deque<Chunk*> m_free;
    std::deque<Chunk*> m_full;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopped = false;
};

Failure Because(const QString& reason)
{
    return Failure::Because(reason);
}

} // namespace

Result<> ConvertSoundFile(const QString& pluginFolder, const QString& source, const QString& output,
                          double serialDraw, const std::atomic<bool>& cancel, ConversionProgress& progress,
                          const std::function<void()>& onChunks)
{
    if (cancel)
        return Fail(Failure::Cancelled());
    Result<std::unique_ptr<SoundDecoder>> loaded = LoadSoundDecoder(pluginFolder);
    if (!loaded)
        return Fail(loaded.error());
    SoundDecoder& decoder = **loaded;
    if (!decoder.Open(source))
        return Fail(Because(decoder.ErrorText()));
    OggVorbisEncoder encoder([serialDraw] { return serialDraw; });
    if (!encoder.InitEncoder())
        return Fail(
            Failure(encoder.InitFailure())
                .Retitle(QStringLiteral("Unable to initialize OGG encoder."), MessageIcon::Exclamation));
    const int channels = decoder.Channels();
    const qint64 frameBytes = 2 * qint64(channels);
    if (Result<> started = encoder.InitStream(decoder.SampleRate(), qint16(channels), output); !started)
        return started;
    progress.totalBytes = decoder.EstimatedFrames() * frameBytes;

    ChunkQueue queue;
    std::thread decoding([&] {
        qint64 readBytes = 0;
        for (;;) {
            Chunk* c = queue.TakeFree();
            if (!c)
                return;
            c->frames = cancel ? 0 : decoder.Read(c->samples.data(), kChunkFrames);
            readBytes += c->frames * frameBytes;
            c->readBytes = readBytes;
            queue.PushFull(c);
            if (c->frames <= 0)
                return;
        }
    });

    bool cancelled = false;
    bool any = false;
    int count = 0;
    for (;;) {
        Chunk* c = queue.TakeFull();
        const qint64 frames = c->frames;
        progress.readBytes.store(c->readBytes, std::memory_order_relaxed);
        if (frames > 0) {
            encoder.Encode(c->samples.data(), qint32(frames));
            any = true;
        }
        queue.GiveBack(c);
        if (frames <= 0)
            break;
        if (cancel) {
            cancelled = true;
            break;
        }
        if (encoder.StreamFailure())
            break;
        if (++count == kChunksPerReport) {
            count = 0;
            if (onChunks)
                onChunks();
        }
    }
    queue.Stop();
    decoding.join();

    const QString decodeError = decoder.ErrorText();
    decoder.Close();
    // The file is completed also after a cancel (short, but whole).
    const Result<> closed = encoder.CloseStream();
    if (cancelled || cancel)
        return Fail(Failure::Cancelled());
    if (!closed)
        return closed;
    if (!decodeError.isEmpty())
        return Fail(Because(decodeError));
    if (!any)
        return Fail(Because(QStringLiteral("The file holds no sound.")));
    return {};
}

void ConvertSounds(BusyScope& busy, QList<SoundConversion>& conversions, int parallel)
{
    const int n = int(conversions.size());
    if (n == 0)
        return;
    std::vector<ConversionProgress> progress(static_cast<std::size_t>(n));
    std::atomic<bool> cancel{false};
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable signalled;
    int signalCount = 0;
    const auto signal = [&] {
        {
            std::lock_guard lock(mutex);
            ++signalCount;
        }
        signalled.notify_one();
    };

    std::vector<std::thread> workers;
    const int threads = std::clamp(parallel, 1, n);
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = next++; i < n; i = next++) {
                SoundConversion& c = conversions[i];
                c.result = ConvertSoundFile(c.pluginFolder, c.source, c.output, c.serialDraw, cancel,
                                            progress[std::size_t(i)], signal);
                progress[std::size_t(i)].finished = true;
                signal();
            }
        });
    }

    // This thread keeps the busy state: the range once sources are open, the
    // value at every signal, events at least every tenth of a second.
    QList<qint64> totals(n, -1);
    qint32 maximum = 0;
    int seen = 0;
    for (;;) {
        bool reported = false;
        {
            std::unique_lock lock(mutex);
            reported =
                signalled.wait_for(lock, std::chrono::milliseconds(100), [&] { return signalCount != seen; });
            seen = signalCount;
        }
        if (busy.Cancelled())
            cancel = true;
        int finished = 0;
        qint64 units = 0, done = 0;
        for (int i = 0; i < n; ++i) {
            const ConversionProgress& p = progress[std::size_t(i)];
            if (totals[i] < 0)
                totals[i] = p.totalBytes.load();
            const bool over = p.finished.load();
            finished += over ? 1 : 0;
            if (totals[i] < 0)
                continue;
            const qint64 total = totals[i] / kProgressUnitBytes;
            units += total;
            done += over ? total
                         : std::min(p.readBytes.load(std::memory_order_relaxed) / kProgressUnitBytes, total);
        }
        if (finished == n)
            break;
        if (units > 0 && qint32(units) != maximum) {
            maximum = qint32(std::min<qint64>(units, std::numeric_limits<qint32>::max()));
            busy.Restart(true, maximum, busy.Host().StatusText());
        }
        if (reported)
            busy.Step(qint32(std::min<qint64>(done, maximum)));
        else
            busy.Host().PumpEvents();
        if (busy.Cancelled())
            cancel = true;
    }
    for (std::thread& worker : workers)
        worker.join();
}
