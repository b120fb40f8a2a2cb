#include "music/clsWinampPlugin.h"

#include <algorithm>
#include <cmath>

namespace {

// The seek mode the host is given (the host's own constant).
constexpr qint32 kSeekMode = 102;

} // namespace

clsWinampPlugin::clsWinampPlugin(std::unique_ptr<SoundPluginHost> host) : m_host(std::move(host)) {}

clsWinampPlugin::~clsWinampPlugin()
{
    CloseFile();
    if (m_pluginCount > 0)
        m_host->CleanUp();
}

qint32 clsWinampPlugin::Init(const QString& sPath, quintptr Hwnd)
{
    m_pluginCount = m_host->Initialise(Hwnd, sPath);
    return m_pluginCount;
}

bool clsWinampPlugin::OpenFile(const QString& sFile)
{
    CloseFile();
    const QString ending = sFile.right(4).toLower();
    m_adjustment = ending == QLatin1String(".mp4") || ending == QLatin1String(".m4a") ? kChunkBytes : 0;
    if (m_pluginCount <= 0)
        return false;
    if (m_host->OpenStream(sFile) == 0)
        return false;
    m_readSize = std::clamp(m_host->GetBufferSize(), 0, kChunkBytes);
    m_open = true;
    m_totalBytes = Estimate();
    m_readBytes = 0;
    return true;
}

void clsWinampPlugin::CloseFile()
{
    if (!m_open)
        return;
    m_host->CloseStream();
    m_open = false;
}

qint64 clsWinampPlugin::Estimate() const
{
    const double bytes = double(m_host->GetSampleRate()) * double(m_host->GetTrackTotalTime()) *
                             double(m_host->GetChannels()) * 2.0 / 1000.0 -
                         double(m_adjustment);
    return qint64(std::nearbyint(bytes));
}

qint32 clsWinampPlugin::ConvertChunk(char* lngBuffer)
{
    if (!m_open || !lngBuffer || m_readSize <= 0)
        return 0;
    const qint32 n = std::max(m_host->Read(lngBuffer, m_readSize), 0);
    m_readBytes += n;
    // The estimate only follows the stream: what was delivered is never cut
    // off, and at the end the total is what the stream held.
    m_totalBytes = n == 0 ? m_readBytes : std::max(Estimate(), m_readBytes);
    return n;
}

qint32 clsWinampPlugin::SampleRate() const
{
    return m_open ? m_host->GetSampleRate() : 0;
}

qint32 clsWinampPlugin::Channels() const
{
    return m_open ? m_host->GetChannels() : 0;
}

qint32 clsWinampPlugin::TrackTotalTime() const
{
    return m_open ? m_host->GetTrackTotalTime() : 0;
}

void clsWinampPlugin::TrackSeek(qint32 lngTime)
{
    if (!m_open)
        return;
    m_host->Seek(lngTime, kSeekMode);
    m_readBytes = qint64(
        std::nearbyint(double(lngTime) * 2.0 * m_host->GetSampleRate() * m_host->GetChannels() / 1000.0));
}

qint32 clsWinampPlugin::TrackCurrentTime() const
{
    const qint32 rate = SampleRate();
    const qint32 channels = Channels();
    if (rate <= 0 || channels <= 0)
        return 0;
    return qint32(std::nearbyint(double(m_readBytes) / (double(channels) * rate * 2.0) * 1000.0));
}
