#include "texture/TextureSettings.h"

TextureSettings TextureSettings::Load(const SettingsStore& store)
{
    TextureSettings s;
    s.textureCompression = ReadCheck(store, setting::kTextureCompression);
    return s;
}

void TextureSettings::Save(SettingsStore& store) const
{
    WriteCheck(store, setting::kTextureCompression, textureCompression);
}
