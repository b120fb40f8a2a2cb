#include "image/ImageSettings.h"

FrameSettings FrameSettings::Load(const SettingsStore& store)
{
    FrameSettings s;
    s.frames = CheckValueFromText(store.Read(setting::kFrames)) != 0;
    s.framesPreview = CheckValueFromText(store.Read(setting::kFramesPreview)) != 0;
    s.frameHL = store.Read(setting::kFrameHL);
    s.frameHC = store.Read(setting::kFrameHC);
    return s;
}

void FrameSettings::Save(SettingsStore& store) const
{
    store.Write(setting::kFrames, CheckValueToText(frames ? 1 : 0));
    store.Write(setting::kFramesPreview, CheckValueToText(framesPreview ? 1 : 0));
    store.Write(setting::kFrameHL, frameHL);
    store.Write(setting::kFrameHC, frameHC);
}

QString ReadLastImageDir(const SettingsStore& store)
{
    return store.Read(setting::kLastImageDir);
}

void WriteLastImageDir(SettingsStore& store, const QString& folder)
{
    store.Write(setting::kLastImageDir, folder);
}
