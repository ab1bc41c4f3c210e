#pragma once

#include "wave/WaveHeader.h"

#include <cstdint>

// The format index a run actually writes: 0 is 16 bits; every other index, the blank third item of the
// window included, writes 20 valid bits in 3-byte containers and describes them alike.
constexpr int EffectiveFormat(int formatIndex) {
    return formatIndex == 0 ? 0 : 1;
}

// Most groups a header can describe: at 16 bits, as many as fit the 32-bit RIFF size; at 24 bits the
// run asks to fall back to 16 bits from kMaxGroups24 + 1 groups on.
inline constexpr int64_t kMaxGroups16 = 536'870'907;
inline constexpr int64_t kMaxGroups24 = 357'913'876;

// Fills the output header for a sampling rate (used unchanged), a format index and a group count. The
// byte rate and the sizes wrap modulo 2^32.
TWaveHeader BuildWaveHeader(int32_t sampleRate, int formatIndex, uint32_t groupCount);

// Sets the two size fields for a data chunk of `dataBytes` bytes.
void SetWaveDataSize(TWaveHeader& header, uint32_t dataBytes);
