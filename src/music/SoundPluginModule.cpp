#include "music/SoundPluginHost.h"
#include "music/clsDLL.h"

#include <QDir>
#include <QHash>
#include <mutex>

namespace {

// The factory of the module at path. A module stays loaded once loaded:
// decoding threads come and go, and the decoding libraries are not made to be
// unloaded and loaded again.
Result<SoundPluginFactory*> LoadFactory(const QString& path)
{
    static std::mutex mutex;
    static QHash<QString, SoundPluginFactory*>* loaded = new QHash<QString, SoundPluginFactory*>;
    const std::lock_guard lock(mutex);
    if (SoundPluginFactory* factory = loaded->value(path))
        return factory;
    auto* module = new clsDLL; // kept for the life of the process
    if (!module->LoadDLL(path)) {
        delete module;
        return Fail(Failure::Because(QStringLiteral("The sound plug-in %1 cannot be loaded.").arg(path)));
    }
    const Result<SoundPluginFactory*> factory = module->Function<SoundPluginFactory>(kSoundPluginFactory);
    if (!factory) {
        delete module;
        return factory;
    }
    loaded->insert(path, *factory);
    return factory;
}

class ModuleHost final : public SoundPluginHost
{
public:
    qint32 Initialise(quintptr windowHandle, const QString& folder) override
    {
        if (!m_host) {
            if (folder.isEmpty()) {
                m_error = QStringLiteral("No folder was given for the sound plug-in.");
                return 0;
            }
            const Result<SoundPluginFactory*> factory =
                LoadFactory(QDir(folder).filePath(QString::fromLatin1(kSoundPluginModule)));
            if (!factory) {
                m_error = factory.error().Reason();
                return 0;
            }
            m_host.reset((*factory)());
        }
        return m_host->Initialise(windowHandle, folder);
    }
    void CleanUp() override
    {
        if (m_host)
            m_host->CleanUp();
    }
    qint32 OpenStream(const QString& file) override { return m_host ? m_host->OpenStream(file) : 0; }
    void CloseStream() override
    {
        if (m_host)
            m_host->CloseStream();
    }
    qint32 Read(char* buffer, qint32 count) override { return m_host ? m_host->Read(buffer, count) : 0; }
    qint32 GetBufferSize() override { return m_host ? m_host->GetBufferSize() : 0; }
    qint32 GetSampleRate() override { return m_host ? m_host->GetSampleRate() : 0; }
    qint32 GetChannels() override { return m_host ? m_host->GetChannels() : 0; }
    qint32 GetTrackTotalTime() override { return m_host ? m_host->GetTrackTotalTime() : 0; }
    qint32 GetPluginCount() override { return m_host ? m_host->GetPluginCount() : 0; }
    void Seek(qint32 milliseconds, qint32 mode) override
    {
        if (m_host)
            m_host->Seek(milliseconds, mode);
    }
    QString LastError() const override { return m_host ? m_host->LastError() : m_error; }

private:
    std::unique_ptr<SoundPluginHost> m_host;
    QString m_error;
};

} // namespace

std::unique_ptr<SoundPluginHost> MakeSoundPluginHost()
{
    return std::make_unique<ModuleHost>();
}
