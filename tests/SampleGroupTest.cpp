#include "engine/SampleGroup.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Out = std::vector<uint8_t>;

Out Convert(const std::vector<uint8_t>& raw, bool bigEndian, int formatIndex) {
    TSampleGroup group{};
    NormalizeGroup(raw.data(), bigEndian, group);
    uint8_t out[kMaxEmittedBytes] = {};
    const int n = EmitGroup(group, formatIndex, out);
    return Out(out, out + n);
}

const std::vector<uint8_t> kBigEndian = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0xA5, 0xC3};
const std::vector<uint8_t> kLittleEndian = {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xF0, 0xDE, 0xC3, 0xA5};

TEST(SampleGroup, SixteenBitsDropsTheNibblesInBothByteOrders) {
    const Out expected = {0x34, 0x12, 0x78, 0x56, 0xBC, 0x9A, 0xF0, 0xDE};
    EXPECT_EQ(Convert(kBigEndian, true, 0), expected);
    EXPECT_EQ(Convert(kLittleEndian, false, 0), expected);
}

TEST(SampleGroup, TwentyFourBitsFollowsTheDvdNibbleOrderInBothByteOrders) {
    // E1 = A5 gives samples 1 and 2 the nibbles A and 5; E2 = C3 gives samples 3 and 4 the nibbles C and 3.
    const Out expected = {0xA0, 0x34, 0x12, 0x50, 0x78, 0x56, 0xC0, 0xBC, 0x9A, 0x30, 0xF0, 0xDE};
    EXPECT_EQ(Convert(kBigEndian, true, 1), expected);
    EXPECT_EQ(Convert(kLittleEndian, false, 1), expected);
    // The blank third format item writes the same 3-byte samples.
    EXPECT_EQ(Convert(kBigEndian, true, 2), expected);
}

TEST(SampleGroup, ZeroNibblesAndNegativeSamples) {
    const Out zeros = Convert({0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x00, 0x00}, true, 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(zeros[3 * i], 0x00) << "sample " << i;

    // Word 0x8000 with nibble F: the most negative 20-bit value but one, sign kept.
    const Out negative = Convert({0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x00}, true, 1);
    EXPECT_EQ(Out(negative.begin(), negative.begin() + 3), (Out{0xF0, 0x00, 0x80}));
}

TEST(SampleGroup, EverySampleCarriesItsOwnTwentyBits) {
    // Each sample's 20-bit value, rebuilt from the output, equals word << 4 | its nibble, for every nibble.
    for (int nibble = 0; nibble < 16; ++nibble) {
        for (int sample = 0; sample < 4; ++sample) {
            std::vector<uint8_t> raw = {0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44, 0, 0};
            const int byteIndex = 8 + sample / 2;
            raw[byteIndex] = static_cast<uint8_t>(sample % 2 == 0 ? nibble << 4 : nibble);
            const Out out = Convert(raw, true, 1);
            for (int s = 0; s < 4; ++s) {
                const uint32_t value = out[3 * s] | out[3 * s + 1] << 8 | out[3 * s + 2] << 16;
                const uint32_t word = 0x1111u * static_cast<uint32_t>(s + 1);
                const uint32_t expected = word << 8 | (s == sample ? static_cast<uint32_t>(nibble) << 4 : 0);
                EXPECT_EQ(value, expected) << "nibble " << nibble << " of sample " << sample;
            }
        }
    }
}

} // namespace
