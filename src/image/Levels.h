#pragma once

#include "image/PixelBuffer.h"

#include <QtGlobal>
#include <array>
#include <cstdint>

// The byte mapping of a level adjustment: >= white -> 255, else <= black -> 0,
// else the value stretched linearly between the two (ties to even).
std::array<std::uint8_t, 256> LevelsTable(qint16 black, qint16 white);

// Stretches every byte of the buffer (padding included) between black and
// white. black <= 0 with white >= 255 leaves the buffer alone.
void AdjustLevels(PixelBuffer& picture, qint16 black, qint16 white);

// Apply's rule, for the window and the command-line tool alike: only a real
// adjustment (white below 255, or black at 1 or more) touches the picture.
bool LevelsChangeAnything(int black, int white);
// AdjustLevels under that rule, levels outside 16 bits clamped. True when the
// picture was adjusted.
bool ApplyLevels(PixelBuffer& picture, int black, int white);

// Scroll-bar push-back: the black level stays below the white level and the
// white level above the black level. Both results stay within 0..255; at the
// ends of the range the pushed value sits at the end and equals the other
// level (black 0 with white 0 keeps black 0; white 255 with black 255 keeps
// white 255), which AdjustLevels treats as a threshold.
int PushBackBlack(int black, int white);
int PushBackWhite(int black, int white);
