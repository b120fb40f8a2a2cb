#pragma once

#include "music/SoundPluginHost.h"

#include <QString>
#include <memory>

// The chunk every decode fills: the PCM passes through one buffer of this size.
inline constexpr qint32 kChunkBytes = 9000;

// The decoder the conversion reads from: opens a sound file through the plug-in
// host and hands out its PCM chunk by chunk, keeping count of what it
// delivered against the expected length. The expected length is an estimate
// from the container (raw AAC and MP3 without a length header only guess it):
// it drives the progress, never where decoding stops; a stream is read to its
// end. Not thread-safe; one per decoding thread.
class clsWinampPlugin
{
public:
    explicit clsWinampPlugin(std::unique_ptr<SoundPluginHost> host = MakeSoundPluginHost());
    ~clsWinampPlugin();
    clsWinampPlugin(const clsWinampPlugin&) = delete;
    clsWinampPlugin& operator=(const clsWinampPlugin&) = delete;

    // Starts the host with the program's folder and window; the number of
    // decoders it has (0 or less: none, and every OpenFile fails).
    qint32 Init(const QString& sPath, quintptr Hwnd);
    // Opens a file (closing an open one first). The expected length is
    // rate x length x channels x 2 / 1000 bytes, 9000 less for names ending
    // in ".mp4" or ".m4a" (any case).
    bool OpenFile(const QString& sFile);
    void CloseFile();
    // Decodes the next piece into buffer (kChunkBytes long) and returns its
    // length in bytes: 0 at the end of the stream, or when none is open.
    qint32 ConvertChunk(char* lngBuffer);

    // PCM bytes delivered so far, and the current estimate of the total
    // (never below what was delivered; at the end, exactly that).
    qint64 ReadBytes() const { return m_readBytes; }
    qint64 TotalBytes() const { return m_totalBytes; }
    // The host's values while a stream is open; 0 otherwise.
    qint32 SampleRate() const;
    qint32 Channels() const;
    qint32 TrackTotalTime() const;
    void TrackSeek(qint32 lngTime);
    qint32 TrackCurrentTime() const;
    qint32 PluginCount() const { return m_host->GetPluginCount(); }
    bool IsOpen() const { return m_open; }
    // Why the last OpenFile failed, or why decoding stopped before the end
    // ("" when it ran to the end).
    QString LastError() const { return m_host->LastError(); }

private:
    qint64 Estimate() const;

    std::unique_ptr<SoundPluginHost> m_host;
    qint32 m_pluginCount = 0;
    bool m_open = false;
    qint32 m_adjustment = 0;
    qint32 m_readSize = 0;
    qint64 m_totalBytes = 0;
    qint64 m_readBytes = 0;
};
