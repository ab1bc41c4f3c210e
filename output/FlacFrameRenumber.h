#pragma once

#include <cstddef>
#include <cstdint>

// A frame of a fixed-block-size FLAC stream given another frame number. The number is UTF-8-coded in
// the header, so the header may change length; the subframes between the header and the closing CRC-16
// stay as they are.
struct TRenumberedFrame {
    uint8_t header[16]; // the new header, through its CRC-8
    size_t headerSize;  // its length
    size_t bodyOffset;  // where the unchanged bytes begin in the old frame (the old header's length)
    uint8_t crc16[2];   // the new closing CRC-16, big-endian
    size_t Size(size_t oldSize) const { return headerSize + oldSize - bodyOffset; }
};

// False when `frame` is not a whole fixed-block-size frame, or `number` cannot be coded (2^31 and more).
bool RenumberFlacFrame(const uint8_t* frame, size_t size, uint32_t number, TRenumberedFrame& out);
