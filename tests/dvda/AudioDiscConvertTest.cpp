// oxlip-convert on DVD-Audio discs: the input-kind row, its run and its listing, end to end. A title whole
// with its tracks as chapter marks, one file per track that joins to the title, the listing, a hybrid
// disc's two sides, and a protected disc refused with nothing written.
#include "AudioDiscSupport.h"
#include "CliProcess.h"
#include "DiscFixtures.h"
#include "TestFiles.h"

#include "texts/AudioDiscTexts.h"

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

} // namespace
