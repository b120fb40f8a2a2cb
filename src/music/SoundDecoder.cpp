#include "music/SoundDecoder.h"

#include <QDir>
#include <QHash>
#include <QLibrary>
#include <mutex>

Result<std::unique_ptr<SoundDecoder>> LoadSoundDecoder(const QString& folder)
{
    if (folder.isEmpty())
        return Fail(Failure::Because(QStringLiteral("No folder was given for the sound decoder.")));
    const QString path = QDir(folder).filePath(QString::fromLatin1(kSoundDecoderModule));
    // A module stays loaded once loaded: decoding threads come and go, and
    // FFmpeg's libraries are not made to be unloaded and loaded again.
    static std::mutex mutex;
    static auto* factories = new QHash<QString, SoundDecoderFactory*>;
    SoundDecoderFactory* factory = nullptr;
    {
        const std::lock_guard lock(mutex);
        factory = factories->value(path);
        if (!factory) {
            QLibrary module(path);
            if (!module.load())
                return Fail(Failure::Because(QStringLiteral("The sound decoder %1 cannot be loaded: %2")
                                                 .arg(path, module.errorString())));
            factory = reinterpret_cast<SoundDecoderFactory*>(module.resolve(kSoundDecoderFactory));
            if (!factory)
                return Fail(Failure::Because(QStringLiteral("The sound decoder %1 has no %2.")
                                                 .arg(path, QLatin1String(kSoundDecoderFactory))));
            factories->insert(path, factory);
        }
    }
    return std::unique_ptr<SoundDecoder>(factory());
}
