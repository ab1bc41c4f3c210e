#include "output/FlacFrameRenumber.h"

#include <array>
#include <cstring>

namespace {

// FLAC's CRC-16: x^16 + x^15 + x^2 + 1, most significant bit first, starting from 0.
constexpr uint16_t kCrc16Poly = 0x8005;

constexpr std::array<uint16_t, 256> Crc16Table() {
    std::array<uint16_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        auto crc = static_cast<uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? crc << 1 ^ kCrc16Poly : crc << 1);
        table[byte] = crc;
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrc16 = Crc16Table();

uint16_t Crc16(const uint8_t* bytes, size_t count) {
    uint16_t crc = 0;
    for (size_t i = 0; i < count; ++i)
        crc = static_cast<uint16_t>(crc << 8 ^ kCrc16[(crc >> 8 ^ bytes[i]) & 0xFF]);
    return crc;
}

// FLAC's CRC-8 of frame headers: x^8 + x^2 + x + 1, most significant bit first, starting from 0.
uint8_t Crc8(const uint8_t* bytes, size_t count) {
    uint8_t crc = 0;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint8_t>(crc & 0x80 ? crc << 1 ^ 0x07 : crc << 1);
    }
    return crc;
}

// a * b modulo the CRC-16 polynomial, in GF(2)[x].
uint16_t MulMod(uint16_t a, uint16_t b) {
    uint16_t product = 0;
    for (int bit = 15; bit >= 0; --bit) {
        product = static_cast<uint16_t>(product & 0x8000 ? product << 1 ^ kCrc16Poly : product << 1);
        if (b >> bit & 1)
            product ^= a;
    }
    return product;
}

// x^(8 * bytes) modulo the CRC-16 polynomial.
uint16_t ShiftByBytes(size_t bytes) {
    uint16_t power = 1;
    uint16_t square = 0x0100; // x^8
    for (; bytes != 0; bytes >>= 1) {
        if (bytes & 1)
            power = MulMod(power, square);
        square = MulMod(square, square);
    }
    return power;
}

// The length of a UTF-8-coded number from its first byte: as many bytes as leading ones (one for none);
// 0 for a byte that begins none of FLAC's frame numbers.
size_t CodedLength(uint8_t first) {
    if (first < 0x80)
        return 1;
    for (size_t length = 2; length <= 6; ++length) {
        const auto ones = static_cast<uint8_t>(0xFFu << (8 - length));
        if ((first & static_cast<uint8_t>(ones | 1u << (7 - length))) == ones)
            return length;
    }
    return 0;
}

size_t CodeNumber(uint32_t number, uint8_t* to) {
    if (number < 0x80) {
        to[0] = static_cast<uint8_t>(number);
        return 1;
    }
    const size_t length = number < 0x800       ? 2
                          : number < 0x10000   ? 3
                          : number < 0x200000  ? 4
                          : number < 0x4000000 ? 5
                                               : 6;
    for (size_t i = length - 1; i > 0; --i, number >>= 6)
        to[i] = static_cast<uint8_t>(0x80 | (number & 0x3F));
    to[0] = static_cast<uint8_t>(0xFFu << (8 - length) | number);
    return length;
}

} // namespace

bool RenumberFlacFrame(const uint8_t* frame, size_t size, uint32_t number, TRenumberedFrame& out) {
    // The sync code with a fixed block size, then the codes that say what follows the number.
    if (size < 8 || frame[0] != 0xFF || frame[1] != 0xF8 || number > 0x7FFFFFFF)
        return false;
    const size_t coded = CodedLength(frame[4]);
    if (coded == 0)
        return false;
    const unsigned blockCode = frame[2] >> 4;
    const unsigned rateCode = frame[2] & 0xF;
    const size_t extras = (blockCode == 6   ? 1
                           : blockCode == 7 ? 2
                                            : 0) +
                          (rateCode == 12                     ? 1
                           : rateCode == 13 || rateCode == 14 ? 2
                                                              : 0);
    const size_t oldHeader = 4 + coded + extras + 1;
    if (size < oldHeader + 2 || Crc8(frame, oldHeader - 1) != frame[oldHeader - 1])
        return false;

    std::memcpy(out.header, frame, 4);
    size_t length = 4 + CodeNumber(number, out.header + 4);
    std::memcpy(out.header + length, frame + 4 + coded, extras);
    length += extras;
    out.header[length] = Crc8(out.header, length);
    out.headerSize = length + 1;
    out.bodyOffset = oldHeader;

    // The CRC-16 covers the header and the body. Starting from 0 with no final xor, the CRC of a header
    // followed by a body is the header's CRC shifted past the body xor the body's own: a new header changes
    // it by the two headers' CRCs' difference shifted alike, so the body is not read again.
    const auto old = static_cast<uint16_t>(frame[size - 2] << 8 | frame[size - 1]);
    const auto change = static_cast<uint16_t>(Crc16(frame, oldHeader) ^ Crc16(out.header, out.headerSize));
    const auto crc = static_cast<uint16_t>(old ^ MulMod(change, ShiftByBytes(size - oldHeader - 2)));
    out.crc16[0] = static_cast<uint8_t>(crc >> 8);
    out.crc16[1] = static_cast<uint8_t>(crc);
    return true;
}
