// MLP titles: payloads made by FFmpeg's MLP encoder, carried in the tests' own AOB packs; FFmpeg's decode of
// the same MLP is the oracle. A damaged access unit is a read error, never altered audio.
#include "AudioDiscSupport.h"

#include "texts/AudioDiscTexts.h"

#include <gtest/gtest.h>

namespace {

using namespace dvda;

TEST(AudioDiscMlp, EveryLayoutEqualsFfmpegsDecodeOfTheSameMlp) {
    if (!HaveFfmpeg())
        GTEST_SKIP() << "FFmpeg is not installed (scripts/install-deps installs it)";
    for (const TMlpCase& c : MlpCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const Bytes mlp = EncodeMlp(dir, c, c.layout.rate[0] / 5);
        ASSERT_FALSE(mlp.empty());
        const std::vector<int32_t> oracle = DecodeWithFfmpeg("-i '" + dir.Path("out.mlp") + "'");
        ASSERT_FALSE(oracle.empty());
        WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), MlpDisc(c, mlp, 0, 40));

        std::string error;
        const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir.Path("DISC"), error);
        ASSERT_TRUE(disc) << error;
        const TAudioDiscTitle& title = disc->Titles()[0];
        EXPECT_EQ(title.unconvertible, "");
        EXPECT_EQ(title.format.coding, TAobCoding::Mlp);
        const TReadTitle read = ReadTitle(*disc, title, 1, 1);
        ASSERT_EQ(read.error, "");
        EXPECT_EQ(read.format.sampleRate, static_cast<uint32_t>(c.layout.rate[0]));
        EXPECT_EQ(read.format.validBits, c.layout.bits[0]);
        EXPECT_EQ(read.format.channels, c.layout.Channels());
        EXPECT_EQ(read.format.channelMask, c.mask);
        EXPECT_EQ(TopAligned(read.samples, read.format.containerBytes), oracle);
    }
}

// A title of two MLP tracks cut at an access unit: each track is its part of the decode, the two joined the
// whole.
TEST(AudioDiscMlp, TracksAreCutAtTheirFirstPts) {
    if (!HaveFfmpeg())
        GTEST_SKIP() << "FFmpeg is not installed (scripts/install-deps installs it)";
    const TMlpCase& c = MlpCases()[0];
    TempDir dir;
    const Bytes mlp = EncodeMlp(dir, c, 96000 / 4);
    ASSERT_FALSE(mlp.empty());
    const std::vector<int32_t> oracle = DecodeWithFfmpeg("-i '" + dir.Path("out.mlp") + "'");
    constexpr size_t kFirstUnits = 123; // 80 sample periods each at 96 kHz
    WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), MlpDisc(c, mlp, kFirstUnits, 80));

    std::string error;
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir.Path("DISC"), error);
    ASSERT_TRUE(disc) << error;
    const TAudioDiscTitle& title = disc->Titles()[0];
    ASSERT_EQ(title.tracks.size(), 2u);
    EXPECT_EQ(title.tracks[1].startFrame, 80 * 123);
    const TReadTitle whole = ReadTitle(*disc, title, 1, 2);
    ASSERT_EQ(whole.error, "");
    EXPECT_EQ(whole.starts, (std::vector<int64_t>{0, 80 * 123}));
    EXPECT_EQ(TopAligned(whole.samples, 3), oracle);
    const TReadTitle first = ReadTitle(*disc, title, 1, 1);
    const TReadTitle second = ReadTitle(*disc, title, 2, 2);
    ASSERT_EQ(first.error, "");
    ASSERT_EQ(second.error, "");
    EXPECT_EQ(first.samples.size(), 80u * 123 * 6);
    Bytes joined = first.samples;
    joined.insert(joined.end(), second.samples.begin(), second.samples.end());
    EXPECT_EQ(joined, whole.samples);
}

// One changed byte in an access unit's audio: its checks fail, and the read ends with an error, however
// much came before.
TEST(AudioDiscMlp, ADamagedAccessUnitIsAReadError) {
    if (!HaveFfmpeg())
        GTEST_SKIP() << "FFmpeg is not installed (scripts/install-deps installs it)";
    const TMlpCase& c = MlpCases()[2];
    TempDir dir;
    Bytes mlp = EncodeMlp(dir, c, 48000 / 5);
    ASSERT_FALSE(mlp.empty());
    const std::vector<size_t> units = AccessUnitStarts(mlp);
    ASSERT_GT(units.size(), 100u);
    for (const size_t offset : {size_t{12}, size_t{40}}) {
        SCOPED_TRACE(offset);
        Bytes damaged = mlp;
        damaged[units[100] + offset] ^= 0x10;
        WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), MlpDisc(c, damaged, 0, 40));
        std::string error;
        const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir.Path("DISC"), error);
        ASSERT_TRUE(disc) << error;
        const TReadTitle read = ReadTitle(*disc, disc->Titles()[0], 1, 1);
        EXPECT_EQ(read.error.rfind("The MLP audio failed the decoder's checks", 0), 0u) << read.error;
        EXPECT_LE(read.samples.size(), 101u * 40 * 18);
    }
}

} // namespace
