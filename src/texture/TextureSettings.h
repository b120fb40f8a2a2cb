#pragma once

#include "app/SettingsStore.h"

#include <QString>

namespace setting {
inline const QString kTextureCompression = QStringLiteral("TextureCompression");
} // namespace setting

struct TextureSettings
{
    bool textureCompression = false; // "TextureCompression": compress textures using NVIDIA's tool

    static TextureSettings Load(const SettingsStore& store);
    void Save(SettingsStore& store) const;
};
