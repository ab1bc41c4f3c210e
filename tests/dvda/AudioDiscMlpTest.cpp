// MLP titles: payloads made by FFmpeg's MLP encoder, carried in the tests' own AOB packs; FFmpeg's decode of
// the same MLP is the oracle. A damaged access unit is a read error, never altered audio.
#include "AudioDiscSupport.h"

#include "texts/AudioDiscTexts.h"

#include <gtest/gtest.h>

namespace {

using namespace dvda;

struct TMlpCase {
    const char* name;
    TPcmLayout layout; // what the title set's attribute record states
    const char* ffmpegLayout;
    const char* speakers; // of our output
    uint32_t mask;
};

// FFmpeg's MLP of tones: `frames` sample periods of `bits` bits (16, or 24 in 32-bit samples).
Bytes EncodeMlp(const TempDir& dir, const TMlpCase& c, int64_t frames) {
    const int channels = c.layout.Channels();
    const int bits = c.layout.bits[0];
    const std::vector<int32_t> tones = Tones(c.layout, frames, 330);
    Bytes raw;
    for (const int32_t v : tones) {
        const uint32_t value = static_cast<uint32_t>(v) << (bits == 16 ? 0 : 8);
        for (int b = 0; b < (bits == 16 ? 2 : 4); ++b)
            raw.push_back(static_cast<uint8_t>(value >> (8 * b)));
    }
    WriteFile(dir.Path("in.raw"), raw);
    const std::string command = std::string("ffmpeg -nostdin -v error -y -f ") +
                                (bits == 16 ? "s16le" : "s32le") + " -ar " +
                                std::to_string(c.layout.rate[0]) + " -ac " + std::to_string(channels) +
                                " -channel_layout " + c.ffmpegLayout + " -i '" + dir.Path("in.raw") +
                                "' -c:a mlp -strict -2 -f mlp '" + dir.Path("out.mlp") + "' 2>&1";
    const std::string output = ShellOutput(command);
    return output.empty() && Exists(dir.Path("out.mlp")) ? ReadFile(dir.Path("out.mlp")) : Bytes();
}

// The access units of an MLP stream: each begins with its length in 16-bit words (low 12 bits).
std::vector<size_t> AccessUnitStarts(const Bytes& mlp) {
    std::vector<size_t> starts;
    for (size_t at = 0; at + 2 <= mlp.size();) {
        starts.push_back(at);
        const size_t length = static_cast<size_t>((mlp[at] << 8 | mlp[at + 1]) & 0xFFF) * 2;
        if (length < 4)
            break;
        at += length;
    }
    return starts;
}

TAuthoredDisc MlpDisc(const TMlpCase& c, const Bytes& mlp, size_t firstTrackUnits, int framesPerUnit) {
    TAuthoredTitle title;
    title.mlp = true;
    title.layout = c.layout;
    const std::vector<size_t> units = AccessUnitStarts(mlp);
    if (firstTrackUnits == 0 || firstTrackUnits >= units.size()) {
        title.mlpTracks = {mlp};
        title.mlpFrames = {static_cast<int64_t>(units.size()) * framesPerUnit};
    } else {
        const auto cut = mlp.begin() + static_cast<std::ptrdiff_t>(units[firstTrackUnits]);
        title.mlpTracks = {Bytes(mlp.begin(), cut), Bytes(cut, mlp.end())};
        title.mlpFrames = {static_cast<int64_t>(firstTrackUnits) * framesPerUnit,
                           static_cast<int64_t>(units.size() - firstTrackUnits) * framesPerUnit};
    }
    TAuthoredDisc authored;
    authored.titles = {title};
    return authored;
}

const std::vector<TMlpCase>& MlpCases() {
    static const std::vector<TMlpCase> cases = {
        {"stereo 24 bit 96 kHz", {{24, 0}, {96000, 0}, 1, 2, 0}, "stereo", "L R", 0x3},
        {"stereo 16 bit 44.1 kHz", {{16, 0}, {44100, 0}, 1, 2, 0}, "stereo", "L R", 0x3},
        {"5.1 24 bit 48 kHz", {{24, 24}, {48000, 48000}, 17, 3, 3}, "5.1", "L R C LFE Ls Rs", 0x3F},
    };
    return cases;
}

bool HaveFfmpeg() {
    return !ShellOutput("command -v ffmpeg").empty();
}

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
