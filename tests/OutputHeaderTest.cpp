#include "engine/OutputHeader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(OutputHeader, SixteenAndTwentyBitFields) {
    const TWaveHeader h16 = BuildWaveHeader(48000, 0, 1000);
    EXPECT_EQ(h16.RiffSize, 8038u);
    EXPECT_EQ(h16.BlockAlign, 4);
    EXPECT_EQ(h16.BitsPerSample, 16);
    EXPECT_EQ(h16.AvgBytesPerSec, 192000u);
    EXPECT_EQ(uint32_t{h16.DataSize}, 8000u);

    const TWaveHeader h24 = BuildWaveHeader(96000, 1, 1000);
    EXPECT_EQ(h24.RiffSize, 12038u);
    EXPECT_EQ(h24.BlockAlign, 6);
    EXPECT_EQ(h24.BitsPerSample, 20);
    EXPECT_EQ(h24.AvgBytesPerSec, 576000u);
    EXPECT_EQ(uint32_t{h24.DataSize}, 12000u);
}

TEST(OutputHeader, BlankThirdItemDescribesTheSameSamplesAsTwentyBits) {
    const TWaveHeader third = BuildWaveHeader(48000, 2, 77);
    const TWaveHeader twenty = BuildWaveHeader(48000, 1, 77);
    EXPECT_EQ(std::memcmp(&third, &twenty, sizeof third), 0);
}

TEST(OutputHeader, ExactBytesForAnEmptySixteenBitFile) {
    const std::vector<uint8_t> expected = {
        'R',  'I',  'F',  'F',  0x26, 0x00, 0x00, 0x00, 'W',  'A',  'V',  'E',  'f',  'm',  't',  ' ',
        0x12, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x80, 0xBB, 0x00, 0x00, 0x00, 0xEE, 0x02, 0x00,
        0x04, 0x00, 0x10, 0x00, 0x00, 0x00, 'd',  'a',  't',  'a',  0x00, 0x00, 0x00, 0x00};
    const TWaveHeader header = BuildWaveHeader(48000, 0, 0);
    ASSERT_EQ(sizeof header, expected.size());
    EXPECT_EQ(std::memcmp(&header, expected.data(), expected.size()), 0);
}

TEST(OutputHeader, SizesAndByteRateWrapModulo2To32) {
    // Negative and huge rates are used unchanged; the byte rate wraps.
    EXPECT_EQ(BuildWaveHeader(-1, 0, 0).AvgBytesPerSec, 0xFFFFFFFCu);
    EXPECT_EQ(BuildWaveHeader(0x40000000, 1, 0).AvgBytesPerSec, 0x80000000u);
    // The largest counts the run lets through still fit.
    EXPECT_EQ(BuildWaveHeader(48000, 0, kMaxGroups16).RiffSize, 4294967294u);
    EXPECT_EQ(BuildWaveHeader(48000, 1, kMaxGroups24).RiffSize, 4294966550u);
    // Beyond them the 32-bit fields wrap.
    EXPECT_EQ(uint32_t{BuildWaveHeader(48000, 0, 0x20000000).DataSize}, 0u);
}

} // namespace
