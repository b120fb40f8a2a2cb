#include "texture/TextureSettings.h"

TextureSettings TextureSettings::Load(const SettingsStore& store)
{
    TextureSettings s;
    s.textureCompression = CheckValueFromText(store.Read(setting::kTextureCompression)) != 0;
    return s;
}

void TextureSettings::Save(SettingsStore& store) const
{
    store.Write(setting::kTextureCompression, CheckValueToText(textureCompression ? 1 : 0));
}
