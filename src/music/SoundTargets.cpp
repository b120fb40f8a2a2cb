#include "music/SoundTargets.h"

namespace {

const QString kOgg = QStringLiteral("data/sound/Ogg/");
// The client finds a track by its base name, the first one of a depth-first
// walk of sound/ogg with each folder sorted without regard to case; a loose
// file at the path of a packed one replaces it. The packed login tracks are
// in frontend (before music/v_frontend and praetoria_music), Pocket D's in
// Music_Source/Rave (before Rave, whose copies are ignored duplicates).
const QString kFrontEnd = QStringLiteral("FrontEnd/");
const QString kRave = QStringLiteral("Rave/");
const QString kPackedRave = QStringLiteral("Music_Source/Rave/");

SoundTarget Target(const QString& control, const QString& madeAlways, const QStringList& files)
{
    SoundTarget target{control, madeAlways.isEmpty() ? QString() : kOgg + madeAlways, {}};
    for (const QString& file : files)
        target.files << kOgg + file;
    return target;
}

// Pocket D tracks where the client plays them, then where earlier builds did.
QStringList RaveFiles(const QStringList& names)
{
    QStringList files;
    for (const QString& name : names)
        files << kPackedRave + name;
    for (const QString& name : names)
        files << kRave + name;
    return files;
}

QList<SoundTarget> MakeTargets()
{
    QList<SoundTarget> targets;
    for (int i = 0; i < kBoomBoxCount; ++i)
        targets << Target(
            QStringLiteral("sndBoomBox(%1)").arg(i), QStringLiteral("BoomBox"),
            {QStringLiteral("BoomBox/Track%1_loop.ogg").arg(kBoomBoxBoxes[std::size_t(i)].track)});
    targets << Target(QStringLiteral("sndHeroLogin"), QString(),
                      {kFrontEnd + QStringLiteral("H_MenuMusic_loop.ogg"),
                       kFrontEnd + QStringLiteral("H_music1_loop.ogg"),
                       kFrontEnd + QStringLiteral("H_music2_loop.ogg")});
    targets << Target(QStringLiteral("sndVillainLogin"), QString(),
                      {kFrontEnd + QStringLiteral("V_MenuMusic_loop.ogg"),
                       QStringLiteral("V_FrontEnd/V_Music1_loop.ogg"),
                       QStringLiteral("V_FrontEnd/V_Music2_loop.ogg")});
    targets << Target(QStringLiteral("sndPraetorianLogin"), QString(),
                      {kFrontEnd + QStringLiteral("N_MenuMusic_loop.ogg")});
    targets << Target(QStringLiteral("sndDanceFloor"), QStringLiteral("Rave"),
                      {kPackedRave + QStringLiteral("NewRave5_loop.ogg"),
                       kRave + QStringLiteral("ExtendedRave_loop.ogg"),
                       kRave + QStringLiteral("NewRave5_loop.ogg")});
    targets << Target(QStringLiteral("sndBlueSide"), QStringLiteral("Rave"),
                      RaveFiles({QStringLiteral("NewRave1_loop.ogg"), QStringLiteral("NewRave2_loop.ogg"),
                                 QStringLiteral("NewRave6_loop.ogg")}));
    targets << Target(QStringLiteral("sndRedSide"), QStringLiteral("Rave"),
                      RaveFiles({QStringLiteral("NewRave3_loop.ogg"), QStringLiteral("NewRave4_loop.ogg")}));
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
