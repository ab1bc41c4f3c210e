#pragma once

#include "TestFiles.h"

#include <cstdint>
#include <vector>

// Packs 20-bit samples (two channels interleaved, a multiple of four) into the input formats, written here
// independently of the converter: upper 16 bits as big-endian words, then the low nibbles of samples 1
// and 2 in the first extension byte and of samples 3 and 4 in the second, high nibble first.
inline Bytes EncodeDemuxed(const std::vector<int32_t>& samples) {
    Bytes out;
    for (size_t i = 0; i + 4 <= samples.size(); i += 4) {
        uint8_t nibbles[4];
        for (size_t k = 0; k < 4; ++k) {
            const auto bits = static_cast<uint32_t>(samples[i + k]) & 0xFFFFFu;
            out.push_back(static_cast<uint8_t>(bits >> 12));
            out.push_back(static_cast<uint8_t>(bits >> 4));
            nibbles[k] = static_cast<uint8_t>(bits & 0xF);
        }
        out.push_back(static_cast<uint8_t>(nibbles[0] << 4 | nibbles[1]));
        out.push_back(static_cast<uint8_t>(nibbles[2] << 4 | nibbles[3]));
    }
    return out;
}

// The same stream as a ripping tool leaves it: every byte pair swapped.
inline Bytes SwapBytePairs(Bytes bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}
