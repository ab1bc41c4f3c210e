// DVD-Audio discs authored by the tests' own writer, read back through TAudioDisc and TAudioTitleStream:
// every PCM case equals the samples it was authored from.
#include "AudioDiscSupport.h"

#include "disc/AudioDiscListing.h"
#include "disc/AudioTitleStream.h"
#include "dvd/FileStreamSource.h"
#include "mmio/MMIOFile.h"
#include "texts/AudioDiscTexts.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace dvda;

// One PCM layout: what the stream carries, and what the output must be (for each output channel, the
// stream channel it takes; the mask; the valid bits).
struct TPcmCase {
    const char* name;
    TPcmLayout layout;
    std::vector<int> outputTakes;
    uint32_t mask;
    int validBits;
    const char* speakers;
};

const std::vector<TPcmCase>& PcmCases() {
    static const std::vector<TPcmCase> cases = {
        {"stereo 16 bit 44.1 kHz", {{16, 0}, {44100, 0}, 1, 2, 0}, {0, 1}, 0x3, 16, "L R"},
        {"stereo 24 bit 96 kHz", {{24, 0}, {96000, 0}, 1, 2, 0}, {0, 1}, 0x3, 24, "L R"},
        {"stereo 24 bit 192 kHz", {{24, 0}, {192000, 0}, 1, 2, 0}, {0, 1}, 0x3, 24, "L R"},
        {"mono 16 bit 48 kHz", {{16, 0}, {48000, 0}, 0, 1, 0}, {0}, 0x4, 16, "C"},
        {"stereo 20 bit 48 kHz", {{20, 0}, {48000, 0}, 1, 2, 0}, {0, 1}, 0x3, 20, "L R"},
        {"5.1 24 bit 96 kHz in both groups",
         {{24, 24}, {96000, 96000}, 17, 3, 3},
         {0, 1, 2, 3, 4, 5},
         0x3F,
         24,
         "L R C LFE Ls Rs"},
        {"5.1 24 and 16 bit 48 kHz",
         {{24, 16}, {48000, 48000}, 17, 3, 3},
         {0, 1, 2, 3, 4, 5},
         0x3F,
         24,
         "L R C LFE Ls Rs"},
        {"5.1 20 bit 88.2 kHz, Ls Rs in group 1",
         {{20, 20}, {88200, 88200}, 20, 4, 2},
         {0, 1, 4, 5, 2, 3},
         0x3F,
         20,
         "L R C LFE Ls Rs"},
        {"L R Ls Rs | C 16 bit 176.4 kHz",
         {{16, 16}, {176400, 176400}, 19, 4, 1},
         {0, 1, 4, 2, 3},
         0x37,
         16,
         "L R C Ls Rs"},
        {"L R | S 20 and 16 bit 48 kHz", {{20, 16}, {48000, 48000}, 2, 2, 1}, {0, 1, 2}, 0x103, 20, "L R S"},
    };
    return cases;
}

TEST(AudioDiscPcm, EveryLayoutEqualsTheSamplesItWasAuthoredFrom) {
    for (const TPcmCase& c : PcmCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        TAuthoredDisc authored;
        TAuthoredTitle title;
        title.layout = c.layout;
        // 98 sample periods a track keep the PTS exact at 44.1 and 176.4 kHz too.
        const std::vector<int32_t> tones = Tones(c.layout, 98 * 30, 440);
        title.pcmTracks = {tones};
        authored.titles = {title};
        WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), authored);

        std::string error;
        const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir.Path("DISC"), error);
        ASSERT_TRUE(disc) << error;
        ASSERT_EQ(disc->Titles().size(), 1u);
        const TAudioDiscTitle& read = disc->Titles()[0];
        EXPECT_EQ(read.unconvertible, "");
        EXPECT_EQ(read.format.Speakers(), c.speakers);
        EXPECT_EQ(read.format.ChannelMask(), c.mask);

        const TReadTitle got = ReadTitle(*disc, read, 1, 1);
        ASSERT_EQ(got.error, "");
        EXPECT_EQ(got.format.channels, c.outputTakes.size());
        EXPECT_EQ(got.format.sampleRate, static_cast<uint32_t>(c.layout.rate[0]));
        EXPECT_EQ(got.format.validBits, c.validBits);
        EXPECT_EQ(got.format.containerBytes, c.validBits == 16 ? 2 : 3);
        EXPECT_EQ(got.format.channelMask, c.mask);
        EXPECT_EQ(got.samples, ExpectedPcm(c.layout, c.outputTakes, tones));
    }
}

// VLC writes its channels in its own order, L R Ls Rs S C LFE, into a WAVE file without a mask: the same
// samples in that order, from ours in WAVE order (whose speakers are named in `speakers`).
std::vector<int32_t> InVlcOrder(const std::vector<int32_t>& samples, const std::string& speakers) {
    static const std::vector<std::string> kVlcOrder = {"L", "R", "Ls", "Rs", "S", "C", "LFE"};
    std::vector<std::string> ours;
    std::istringstream names(speakers);
    for (std::string name; names >> name;)
        ours.push_back(name);
    std::vector<size_t> from; // for each VLC channel, our channel
    for (const std::string& speaker : kVlcOrder)
        for (size_t c = 0; c < ours.size(); ++c)
            if (ours[c] == speaker)
                from.push_back(c);
    std::vector<int32_t> reordered;
    for (size_t at = 0; at + ours.size() <= samples.size(); at += ours.size())
        for (const size_t c : from)
            reordered.push_back(samples[at + c]);
    return reordered;
}

// VLC decodes the same AOB files to the same samples where it reads them right: 16 and 24 bits, one to six
// channels, one rate.
TEST(AudioDiscPcm, VlcDecodesTheSameSamplesWhereItIsRight) {
    if (ShellOutput("command -v cvlc").empty())
        GTEST_SKIP() << "VLC is not installed (scripts/install-deps installs it)";
    for (const TPcmCase& c : PcmCases()) {
        if (c.layout.bits[0] == 20 || (c.layout.group2 && c.layout.bits[1] == 20))
            continue;
        SCOPED_TRACE(c.name);
        TempDir dir;
        TAuthoredTitle title;
        title.layout = c.layout;
        title.pcmTracks = {Tones(c.layout, 98 * 100, 440)};
        TAuthoredDisc authored;
        authored.titles = {title};
        WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), authored);
        std::string error;
        const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir.Path("DISC"), error);
        ASSERT_TRUE(disc) << error;
        const TReadTitle ours = ReadTitle(*disc, disc->Titles()[0], 1, 1);
        ASSERT_EQ(ours.error, "");
        const std::vector<int32_t> vlc = DecodeWithVlc(dir.Path("DISC/AUDIO_TS/ATS_01_1.AOB"), dir.Path(""));
        EXPECT_EQ(InVlcOrder(TopAligned(ours.samples, ours.format.containerBytes), c.speakers), vlc);
    }
}

// A title of three songs, each its own tone: the whole title carries the track starts, each track read
// alone is its own tone from first to last sample, and the tracks joined are the title.
TEST(AudioDiscPcm, TracksAreCutWhereTheirFirstPtsFallsAndJoinToTheTitle) {
    TempDir dir;
    const TPcmLayout layout{{24, 0}, {96000, 0}, 1, 2, 0};
    TAuthoredTitle title;
    title.layout = layout;
    const int64_t frames[3] = {9600, 14400, 4800}; // 0.1, 0.15, 0.05 s
    const double tones[3] = {440, 660, 880};
    for (int k = 0; k < 3; ++k)
        title.pcmTracks.push_back(Tones(layout, frames[k], tones[k]));
    TAuthoredDisc authored;
    authored.titles = {title};
    WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), authored);

    std::string error;
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir.Path("DISC"), error);
    ASSERT_TRUE(disc) << error;
    const TAudioDiscTitle& read = disc->Titles()[0];
    ASSERT_EQ(read.tracks.size(), 3u);
    EXPECT_EQ(read.tracks[1].startFrame, 9600);
    EXPECT_EQ(read.tracks[2].startFrame, 24000);
    EXPECT_EQ(read.TrackEndFrame(2), 28800);
    EXPECT_EQ(FormatAudioDiscListing(*disc),
              "DVD-Audio disc DISC: 1 title\n"
              "Title 1: 0:00:00.300, 3 tracks, PCM 24 bit, 96000 Hz, 2 ch (L R)\n"
              "  Track 1: start 0:00:00.000, length 0:00:00.100\n"
              "  Track 2: start 0:00:00.100, length 0:00:00.150\n"
              "  Track 3: start 0:00:00.250, length 0:00:00.050\n");

    const TReadTitle whole = ReadTitle(*disc, read, 1, 3);
    ASSERT_EQ(whole.error, "");
    EXPECT_EQ(whole.starts, (std::vector<int64_t>{0, 9600, 24000}));
    Bytes joined;
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k + 1);
        const TReadTitle track = ReadTitle(*disc, read, k + 1, k + 1);
        ASSERT_EQ(track.error, "");
        EXPECT_EQ(track.starts, std::vector<int64_t>{0});
        EXPECT_EQ(track.samples, ExpectedPcm(layout, {0, 1}, title.pcmTracks[static_cast<size_t>(k)]));
        joined.insert(joined.end(), track.samples.begin(), track.samples.end());
    }
    EXPECT_EQ(joined, whole.samples);
    const TReadTitle lastTwo = ReadTitle(*disc, read, 2, 3);
    EXPECT_EQ(lastTwo.starts, (std::vector<int64_t>{0, 14400}));
    EXPECT_EQ(lastTwo.samples, Bytes(whole.samples.begin() + 9600 * 6, whole.samples.end()));
}

// The AOB split over two files is one sector space: a cell runs on from one file into the next.
TEST(AudioDiscPcm, AnAobSplitOverTwoFilesReadsAsOne) {
    TempDir dir;
    const TPcmLayout layout{{16, 0}, {48000, 0}, 1, 2, 0};
    TAuthoredTitle title;
    title.layout = layout;
    title.pcmTracks = {Tones(layout, 48000, 440), Tones(layout, 24000, 660)};
    TAuthoredDisc authored;
    authored.titles = {title};
    authored.sectorsPerAob = 61; // the first track's cell crosses the boundary
    WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), authored);
    ASSERT_TRUE(Exists(dir.Path("DISC/AUDIO_TS/ATS_01_2.AOB")));

    std::string error;
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir.Path("DISC/AUDIO_TS/ATS_01_0.IFO"), error);
    ASSERT_TRUE(disc) << error;
    const TReadTitle whole = ReadTitle(*disc, disc->Titles()[0], 1, 2);
    ASSERT_EQ(whole.error, "");
    std::vector<int32_t> all = title.pcmTracks[0];
    all.insert(all.end(), title.pcmTracks[1].begin(), title.pcmTracks[1].end());
    EXPECT_EQ(whole.samples, ExpectedPcm(layout, {0, 1}, all));
}

// The listing names the pre-emphasis of a PCM title whose packets carry its flag, and of no other.
TEST(AudioDiscPcm, TheListingSaysPreEmphasis) {
    TempDir dir;
    TAuthoredDisc authored;
    for (const bool emphasis : {false, true}) {
        TAuthoredTitle title;
        title.layout = {{16, 0}, {48000, 0}, 1, 2, 0, emphasis};
        title.pcmTracks = {Tones(title.layout, 4800, 440)};
        authored.titles.push_back(title);
    }
    WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), authored);
    std::string error;
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir.Path("DISC"), error);
    ASSERT_TRUE(disc) << error;
    const std::string listing = FormatAudioDiscListing(*disc);
    EXPECT_NE(listing.find("Title 1: 0:00:00.100, 1 track, PCM 16 bit, 48000 Hz, 2 ch (L R)\n"),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("Title 2: 0:00:00.100, 1 track, PCM 16 bit, 48000 Hz, 2 ch (L R), pre-emphasis\n"),
              std::string::npos)
        << listing;
}

// A bare AOB file reads as a program stream: its first audio stream, whole.
TEST(AudioDiscPcm, ABareAobFileReadsWhole) {
    TempDir dir;
    const TPcmLayout layout{{24, 24}, {48000, 48000}, 17, 3, 3};
    TAuthoredTitle title;
    title.layout = layout;
    title.pcmTracks = {Tones(layout, 4800, 440), Tones(layout, 2400, 660)};
    TAuthoredDisc authored;
    authored.titles = {title};
    WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), authored);
    const std::string aob = dir.Path("DISC/AUDIO_TS/ATS_01_1.AOB");
    TMMIOFile probeFile, readFile;
    for (TMMIOFile* file : {&probeFile, &readFile}) {
        file->SetFileName(aob);
        file->SetModes(true, 0, 2);
        file->OpenExisting();
    }
    TFileStreamSource probe(probeFile);
    ASSERT_EQ(FirstAobSubStream(probe), kAobPcmId);
    TFileStreamSource source(readFile);
    TAobAudioReader reader(source, kAobPcmId);
    ASSERT_TRUE(reader.Start()) << reader.Error();
    Bytes samples;
    std::span<const uint8_t> block;
    while (reader.Next(block))
        samples.insert(samples.end(), block.begin(), block.end());
    EXPECT_EQ(reader.Error(), "");
    std::vector<int32_t> all = title.pcmTracks[0];
    all.insert(all.end(), title.pcmTracks[1].begin(), title.pcmTracks[1].end());
    EXPECT_EQ(samples, ExpectedPcm(layout, {0, 1, 2, 3, 4, 5}, all));
}

// Groups at different rates: the tables say so, and a stream whose packets say so is refused too; neither
// is ever read at one rate.
TEST(AudioDiscPcm, GroupsAtDifferentRatesAreRefused) {
    TempDir dir;
    TPcmLayout layout{{24, 16}, {96000, 48000}, 17, 3, 3};
    TAuthoredTitle title;
    title.layout = layout;
    title.pcmTracks = {Tones(layout, 960, 440)};
    TAuthoredDisc authored;
    authored.titles = {title};
    WriteAudioDisc(dir.Path("DISC/AUDIO_TS"), authored);
    // A second copy whose table states one rate, its packets two.
    std::filesystem::copy(dir.Path("DISC"), dir.Path("LYING"), std::filesystem::copy_options::recursive);
    for (const char* name : {"ATS_01_0.IFO", "ATS_01_0.BUP"}) {
        Bytes ifo = ReadFile(dir.Path(std::string("LYING/AUDIO_TS/") + name));
        ifo[256 + 3] = 0x11;
        WriteFile(dir.Path(std::string("LYING/AUDIO_TS/") + name), ifo);
    }

    std::string error;
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir.Path("DISC"), error);
    ASSERT_TRUE(disc) << error;
    EXPECT_EQ(disc->Titles()[0].unconvertible, msg::kAudioTitleMixedRates);
    EXPECT_NE(disc->Titles()[0].format.Describe().find("96000 Hz"), std::string::npos);
    EXPECT_NE(disc->Titles()[0].format.Describe().find("48000 Hz"), std::string::npos);
    EXPECT_EQ(ReadTitle(*disc, disc->Titles()[0], 1, 1).error, msg::kAudioTitleMixedRates);
    EXPECT_NE(FormatAudioDiscListing(*disc).find("Title 1: not convertible (" +
                                                 std::string(msg::kAudioTitleMixedRates) +
                                                 "), PCM 24 bit 96000 Hz"),
              std::string::npos);

    const std::unique_ptr<TAudioDisc> lying = TAudioDisc::Open(dir.Path("LYING"), error);
    ASSERT_TRUE(lying) << error;
    EXPECT_EQ(lying->Titles()[0].unconvertible, "");
    EXPECT_EQ(ReadTitle(*lying, lying->Titles()[0], 1, 1).error, msg::kAudioPcmMixedRates);
}

// Packs marked scrambled: the disc is refused as protected. The same disc with clear packs but the
// protection's key file beside converts.
TEST(AudioDiscPcm, ScrambledPacksAreRefusedAsProtected) {
    TempDir dir;
    const TPcmLayout layout{{16, 0}, {48000, 0}, 1, 2, 0};
    TAuthoredTitle title;
    title.layout = layout;
    title.pcmTracks = {Tones(layout, 4800, 440)};
    TAuthoredDisc authored;
    authored.titles = {title};
    authored.scrambled = true;
    WriteAudioDisc(dir.Path("LOCKED/AUDIO_TS"), authored);
    authored.scrambled = false;
    WriteAudioDisc(dir.Path("CLEAR/AUDIO_TS"), authored);
    WriteFile(dir.Path("CLEAR/AUDIO_TS/DVDAUDIO.MKB"), Bytes(32768, 0x5A));

    std::string error;
    EXPECT_FALSE(TAudioDisc::Open(dir.Path("LOCKED"), error));
    EXPECT_EQ(error, msg::kAudioDiscProtected);
    const std::unique_ptr<TAudioDisc> clear = TAudioDisc::Open(dir.Path("CLEAR"), error);
    ASSERT_TRUE(clear) << error;
    EXPECT_EQ(ReadTitle(*clear, clear->Titles()[0], 1, 1).error, "");
}

} // namespace
