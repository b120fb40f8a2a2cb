#pragma once

#include "app/SettingsStore.h"

#include <QString>

namespace setting {
inline const QString kFrames = QStringLiteral("Frames");
inline const QString kFramesPreview = QStringLiteral("FramesPreview");
inline const QString kFrameHL = QStringLiteral("FrameHL");
inline const QString kFrameHC = QStringLiteral("FrameHC");
inline const QString kLastImageDir = QStringLiteral("LastImageDir");
} // namespace setting

// The frame switches and the frame pictures of both loading screens.
struct FrameSettings
{
    bool frames = false;        // "Frames": overlay image frames
    bool framesPreview = false; // "FramesPreview": display frames in preview
    QString frameHL;            // "FrameHL": login screen frame picture
    QString frameHC;            // "FrameHC": character selection frame picture

    static FrameSettings Load(const SettingsStore& store);
    // Frames, FramesPreview, FrameHL, FrameHC, in this order.
    void Save(SettingsStore& store) const;
};

// The folder of the picture chosen last, where the next picture dialog starts.
QString ReadLastImageDir(const SettingsStore& store);
void WriteLastImageDir(SettingsStore& store, const QString& folder);
