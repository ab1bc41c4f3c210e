#pragma once

#include <cstdint>

// What an output's samples are: little-endian, interleaved in the source's channel order.
struct TAudioFormat {
    uint16_t channels = 2;
    uint32_t sampleRate = 48000;
    uint16_t validBits = 16;     // 16, 20 or 24
    uint16_t containerBytes = 2; // 2 or 3
    uint32_t channelMask = 0;    // the speakers of the channels, as WAVE_FORMAT_EXTENSIBLE gives them
    uint16_t BlockAlign() const { return static_cast<uint16_t>(channels * containerBytes); }
};
