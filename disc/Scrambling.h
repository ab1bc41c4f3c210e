#pragma once

#include <cstdint>

// Whether a 2048-byte DVD pack carries a PES packet whose scrambling-control bits are set: the mark CSS
// leaves on every encrypted video and audio pack. Navigation and padding packs are never scrambled.
bool PackIsScrambled(const uint8_t* pack);
