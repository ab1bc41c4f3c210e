// oxlip-convert on DVD-Audio discs: the input-kind row, its run and its listing, end to end. A title whole
// with its tracks as chapter marks, one file per track that joins to the title, the listing, a hybrid
// disc's two sides, a protected disc refused with nothing written, and a bare AOB file converted as its
// title is.
#include "AudioDiscSupport.h"
#include "CliProcess.h"
#include "DiscFixtures.h"
#include "TestFiles.h"

#include "texts/AudioDiscTexts.h"
#include "texts/Messages.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace {

using namespace dvda;

CliOutcome Convert(const std::vector<std::string>& args, const std::string& workingDir) {
    CliRun run;
    run.args = args;
    run.workingDir = workingDir;
    return RunCli(run);
}

std::string ListOf(const std::string& disc) {
    return ShellOutput("'" OXLIP_CONVERT "' --list '" + disc + "'");
}

TEST(AudioDiscConvert, TitleWholeAndPerTrackJoinAndSayTheirTracks) {
    TempDir dir;
    const TPcmLayout layout{{24, 0}, {96000, 0}, 1, 2, 0};
    TAuthoredTitle title;
    title.layout = layout;
    for (const auto& [frames, hz] : {std::pair{9600, 440.0}, {14400, 660.0}, {4800, 880.0}})
        title.pcmTracks.push_back(Tones(layout, frames, hz));
    TAuthoredDisc authored;
    authored.titles = {title};
    WriteAudioDisc(dir.Path("ALBUM/AUDIO_TS"), authored);
    const std::string disc = dir.Path("ALBUM");
    std::filesystem::create_directories(dir.Path("out"));

    // The whole title, by default beside the disc folder, with its tracks marked.
    CliOutcome outcome = Convert({"-q", disc}, dir.Path("out"));
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    const std::string whole = dir.Path("out/ALBUM-t01.wav");
    std::vector<int32_t> expected;
    for (const std::vector<int32_t>& track : title.pcmTracks) {
        const std::vector<int32_t> top = TopAligned(ExpectedPcm(layout, {0, 1}, track), 3);
        expected.insert(expected.end(), top.begin(), top.end());
    }
    EXPECT_EQ(DecodeWithFfmpeg("-i '" + whole + "'"), expected);
    const Bytes wholeBytes = ReadFile(whole);
    const std::string bytes(wholeBytes.begin(), wholeBytes.end());
    EXPECT_NE(bytes.find("cue "), std::string::npos);
    EXPECT_NE(bytes.find(std::string("Title 1\0", 8)), std::string::npos);

    // One FLAC per track, each its own tone, joined the title; tagged as the songs of the album.
    outcome = Convert({"-q", "--flac", "--chapters", "-o", dir.Path("out"), disc}, dir.Path("out"));
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    std::vector<int32_t> joined;
    for (int k = 1; k <= 3; ++k) {
        const std::string file = dir.Path("out/ALBUM-t01-c0" + std::to_string(k) + ".flac");
        const std::vector<int32_t> samples = DecodeWithFfmpeg("-i '" + file + "'");
        joined.insert(joined.end(), samples.begin(), samples.end());
        EXPECT_EQ(ShellOutput("metaflac --show-tag=TITLE --show-tag=TRACKNUMBER --show-tag=TRACKTOTAL '" +
                              file + "'"),
                  "TITLE=Track " + std::to_string(k) + "\nTRACKNUMBER=" + std::to_string(k) +
                      "\nTRACKTOTAL=3\n");
    }
    EXPECT_EQ(joined, expected);

    EXPECT_NE(ListOf(disc).find("  Track 2: start 0:00:00.100, length 0:00:00.150"), std::string::npos);
    // The JSON listing gives the tracks' samples as the files hold them.
    const auto listing =
        nlohmann::json::parse(ShellOutput("'" OXLIP_CONVERT "' --list --json '" + disc + "'"));
    EXPECT_EQ(listing["kind"], "dvd-audio");
    const nlohmann::json& chapters = listing["titles"][0]["chapters"];
    ASSERT_EQ(chapters.size(), 3u) << listing;
    for (size_t k = 0; k < 3; ++k)
        EXPECT_EQ(chapters[k]["length_samples"], title.pcmTracks[k].size() / 2) << listing;
    EXPECT_EQ(listing["titles"][0]["audio"][0]["rate"], 96000) << listing;
}

TEST(AudioDiscConvert, AProtectedDiscIsRefusedWithNothingWritten) {
    TempDir dir;
    const TPcmLayout layout{{16, 0}, {48000, 0}, 1, 2, 0};
    TAuthoredTitle title;
    title.layout = layout;
    title.pcmTracks = {Tones(layout, 4800, 440)};
    TAuthoredDisc authored;
    authored.titles = {title};
    authored.scrambled = true;
    WriteAudioDisc(dir.Path("LOCKED/AUDIO_TS"), authored);
    std::filesystem::create_directories(dir.Path("out"));
    const CliOutcome outcome = Convert({"-q", dir.Path("LOCKED")}, dir.Path("out"));
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_NE(outcome.err.find(msg::kAudioDiscProtected), std::string::npos) << outcome.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path("out")));
}

// The body of a WAVE file's data chunk; empty when it has none.
Bytes DataChunk(const Bytes& wave) {
    for (size_t at = 12; at + 8 <= wave.size();) {
        const uint32_t size = static_cast<uint32_t>(wave[at + 4] | wave[at + 5] << 8 | wave[at + 6] << 16) |
                              uint32_t{wave[at + 7]} << 24;
        const auto body = wave.begin() + static_cast<std::ptrdiff_t>(at + 8);
        if (std::string(wave.begin() + static_cast<std::ptrdiff_t>(at), body - 4) == "data")
            return Bytes(body, body + std::min<std::ptrdiff_t>(size, wave.end() - body));
        at += 8 + size + (size & 1);
    }
    return {};
}

// A bare AOB file copied out of its disc converts as a VOB does, by its own run: its first audio stream,
// whole, the same samples as its title converted from the disc. A scrambled one is refused with nothing
// written, and disc options are refused as for a VOB.
TEST(AudioDiscConvert, ABareAobFileGivesItsTitlesSamples) {
    TempDir dir;
    const TPcmLayout cd{{16, 0}, {44100, 0}, 1, 2, 0};
    const TPcmLayout surround{{24, 24}, {96000, 96000}, 17, 3, 3};
    TAuthoredTitle cdTitle, surroundTitle;
    cdTitle.layout = cd;
    cdTitle.pcmTracks = {Tones(cd, 4410, 440), Tones(cd, 2646, 660)};
    surroundTitle.layout = surround;
    surroundTitle.pcmTracks = {Tones(surround, 9600, 330)};
    TAuthoredDisc cdDisc, surroundDisc, lockedDisc;
    cdDisc.titles = {cdTitle};
    surroundDisc.titles = {surroundTitle};
    lockedDisc.titles = {cdTitle};
    lockedDisc.scrambled = true;
    TAuthoredDisc mlpDisc;
    const bool mlp = HaveFfmpeg();
    if (mlp) {
        const Bytes stream = EncodeMlp(dir, MlpCases()[0], 96000 / 5);
        ASSERT_FALSE(stream.empty());
        mlpDisc = MlpDisc(MlpCases()[0], stream, 60, 80);
    }
    const struct {
        const char* name; // and its folder
        const TAuthoredDisc& disc;
        std::string listing; // after the file's name; "" when --list is not asked
        std::string error;   // of a refused file
    } cases[] = {
        {"pcm-16-44k1-stereo", cdDisc, "DVD-Audio AOB file: PCM 16 bit, 44100 Hz, 2 ch (L R), 0:00:00.160\n",
         ""},
        {"pcm-24-96k-5.1", surroundDisc,
         "DVD-Audio AOB file: PCM 24 bit, 96000 Hz, 6 ch (L R C LFE Ls Rs), 0:00:00.100\n", ""},
        {"mlp-24-96k-stereo", mlpDisc,
         "DVD-Audio AOB file: MLP 24 bit, 96000 Hz, 2 ch (L R), length known once converted\n", ""},
        {"scrambled", lockedDisc, "", msg::kAudioDiscProtected},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.disc.titles.empty())
            continue; // no FFmpeg to make MLP with
        const std::string work = dir.Path(c.name);
        WriteAudioDisc(work + "/DISC/AUDIO_TS", c.disc);
        std::filesystem::create_directories(work + "/bare");
        const std::string aob = work + "/bare/ATS_01_1.AOB";
        std::filesystem::copy_file(work + "/DISC/AUDIO_TS/ATS_01_1.AOB", aob);

        const CliOutcome outcome = Convert({"-q", aob}, work);
        if (!c.error.empty()) {
            EXPECT_EQ(outcome.exitStatus, 1);
            EXPECT_EQ(outcome.err, Said(aob, {c.error}));
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work + "/bare"), {}), 1);
            continue;
        }
        ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
        ASSERT_EQ(Convert({"-q", "--title", "1", "-o", work + "/title.wav", work + "/DISC"}, work).exitStatus,
                  0);
        const Bytes title = DataChunk(ReadFile(work + "/title.wav"));
        ASSERT_FALSE(title.empty());
        EXPECT_EQ(DataChunk(ReadFile(work + "/bare/ATS_01_1.wav")), title);
        EXPECT_EQ(ListOf(aob), aob + ": " + c.listing);
        // -b 16 keeps each sample's high 16 bits, from the disc and from the bare file alike.
        Bytes high = title;
        if (std::string(c.name) != "pcm-16-44k1-stereo") {
            high.clear();
            for (size_t k = 0; k + 2 < title.size(); k += 3)
                high.insert(high.end(), {title[k + 1], title[k + 2]});
        }
        for (const std::string& input : {work + "/DISC", aob}) {
            ASSERT_EQ(Convert({"-q", "-y", "-b", "16", "-o", work + "/16.wav", input}, work).exitStatus, 0);
            EXPECT_EQ(DataChunk(ReadFile(work + "/16.wav")), high) << input;
        }
    }

    const std::string aob = dir.Path("pcm-16-44k1-stereo/bare/ATS_01_1.AOB");
    const CliOutcome outcome = Convert({"-q", "--title", "1", "-o", dir.Path("t.wav"), aob}, dir.Path(""));
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_NE(outcome.err.find(msg::kDiscOptionsOnly), std::string::npos) << outcome.err;
    EXPECT_FALSE(Exists(dir.Path("t.wav")));
}

} // namespace
