#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <array>

// A BoomBox check box: its caption, the game's track it replaces and where it
// stands on the tab (column 1 to 3, row 1 to 9).
struct BoomBoxBox
{
    const char* caption;
    int track;
    int column;
    int row;
};

inline constexpr int kBoomBoxCount = 25;
// The sndBoomBox array, by index.
inline constexpr std::array<BoomBoxBox, kBoomBoxCount> kBoomBoxBoxes = {{
    {"Altitude", 9, 1, 1},    {"Beat", 11, 1, 2},       {"Catch Me", 13, 1, 3},
    {"Dance", 1, 1, 4},       {"ElectroVibe", 7, 1, 5}, {"Disco Freak", 16, 1, 6},
    {"Dog Walk", 21, 1, 7},   {"Heavy Dude", 24, 1, 8}, {"Info Overload", 18, 1, 9},
    {"Looker", 8, 2, 3},      {"Kick It", 12, 2, 2},    {"Jumpy", 15, 2, 1},
    {"Meaty", 17, 2, 4},      {"Notorious", 20, 2, 5},  {"Move On", 4, 2, 6},
    {"Peace", 22, 2, 7},      {"Quickie", 5, 2, 8},     {"Raver", 3, 3, 1},
    {"Wind It Up", 10, 3, 4}, {"Technoid", 2, 3, 3},    {"Shuffle", 14, 3, 2},
    {"Venus", 25, 3, 5},      {"Wah Wah", 19, 3, 6},    {"Yellow", 6, 3, 7},
    {"Spaz", 23, 3, 8},
}};

// The value of a target's check box: only Ticked counts as selected; Done
// (shown grey) marks a target whose files were all written.
enum class TargetState
{
    Unticked = 0,
    Ticked = 1,
    Done = 2
};

// One music slot of the game and the files that make it: the names the
// client plays, where they win over its packed copies, and the names and
// places earlier client builds used.
struct SoundTarget
{
    QString control; // "sndBoomBox(3)", "sndHeroLogin", ...
    // A folder made before this target whether or not it is ticked ("" for
    // none); the folders of the files are made as they are written.
    QString madeAlways;
    QStringList files; // below the game folder, in the order they are written
};

// The targets in the order a save processes them: the 25 BoomBox boxes by
// index, then "sndHeroLogin", "sndVillainLogin", "sndPraetorianLogin",
// "sndDanceFloor", "sndBlueSide", "sndRedSide".
inline constexpr int kSoundTargetCount = kBoomBoxCount + 6;
enum SoundTargetIndex
{
    kHeroLogin = kBoomBoxCount,
    kVillainLogin,
    kPraetorianLogin,
    kDanceFloor,
    kBlueSide,
    kRedSide
};
const QList<SoundTarget>& SoundTargets();
using TargetStates = std::array<TargetState, kSoundTargetCount>;

// The target of the BoomBox box that holds track (1 to 25); -1 for none.
int BoomBoxTargetOfTrack(int track);
