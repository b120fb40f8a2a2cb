#include "image/ImageSettings.h"

FrameSettings FrameSettings::Load(const SettingsStore& store)
{
    FrameSettings s;
    s.frames = ReadCheck(store, setting::kFrames);
    s.framesPreview = ReadCheck(store, setting::kFramesPreview);
    s.frameHL = store.Read(setting::kFrameHL);
    s.frameHC = store.Read(setting::kFrameHC);
    return s;
}

void FrameSettings::Save(SettingsStore& store) const
{
    WriteCheck(store, setting::kFrames, frames);
    WriteCheck(store, setting::kFramesPreview, framesPreview);
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
