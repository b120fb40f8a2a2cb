#include "music/SoundTargets.h"

namespace {

const QString kOgg = QStringLiteral("data/sound/Ogg/");

SoundTarget Target(const QString& control, const QString& folder, bool always, const QStringList& names)
{
    SoundTarget target{control, kOgg + folder, always, {}};
    for (const QString& name : names)
        target.files << target.folder + QLatin1Char('/') + name;
    return target;
}

QList<SoundTarget> MakeTargets()
{
    QList<SoundTarget> targets;
    for (int i = 0; i < kBoomBoxCount; ++i)
        targets << Target(QStringLiteral("sndBoomBox(%1)").arg(i), QStringLiteral("BoomBox"), true,
                          {QStringLiteral("Track%1_loop.ogg").arg(kBoomBoxBoxes[std::size_t(i)].track)});
    targets << Target(QStringLiteral("sndHeroLogin"), QStringLiteral("FrontEnd"), false,
                      {QStringLiteral("H_music1_loop.ogg"), QStringLiteral("H_music2_loop.ogg")});
    targets << Target(QStringLiteral("sndVillainLogin"), QStringLiteral("V_FrontEnd"), false,
                      {QStringLiteral("V_Music1_loop.ogg"), QStringLiteral("V_Music2_loop.ogg")});
    targets << Target(QStringLiteral("sndDanceFloor"), QStringLiteral("Rave"), true,
                      {QStringLiteral("ExtendedRave_loop.ogg"), QStringLiteral("NewRave5_loop.ogg")});
    targets << Target(QStringLiteral("sndBlueSide"), QStringLiteral("Rave"), true,
                      {QStringLiteral("NewRave1_loop.ogg"), QStringLiteral("NewRave2_loop.ogg"),
                       QStringLiteral("NewRave6_loop.ogg")});
    targets << Target(QStringLiteral("sndRedSide"), QStringLiteral("Rave"), true,
                      {QStringLiteral("NewRave3_loop.ogg"), QStringLiteral("NewRave4_loop.ogg")});
    return targets;
}

} // namespace

const QList<SoundTarget>& SoundTargets()
{
    static const QList<SoundTarget> targets = MakeTargets();
    return targets;
}

int BoomBoxTargetOfTrack(int track)
{
    for (int i = 0; i < kBoomBoxCount; ++i) {
        if (kBoomBoxBoxes[std::size_t(i)].track == track)
            return i;
    }
    return -1;
}
