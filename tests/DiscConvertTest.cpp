// oxlip-convert on real discs and program streams made by FFmpeg, dvdauthor and genisoimage, with FFmpeg
// decoding the same VOB files as the independent reference.
#include "CliProcess.h"
#include "DiscFixtures.h"
#include "TestFiles.h"

#include "disc/DiscContent.h"
#include "texts/Messages.h"

#include <gtest/gtest.h>

namespace {

CliOutcome Convert(const std::vector<std::string>& args, const std::string& workingDir = {}) {
    CliRun run;
    run.args = args;
    run.workingDir = workingDir;
    return RunCli(run);
}

std::vector<int32_t> Samples(const std::string& wave) {
    return DecodeWithFfmpeg("-i '" + wave + "'");
}

std::string Vob(int titleSet) {
    return DiscFixtures().discFolder + "/VIDEO_TS/VTS_0" + std::to_string(titleSet) + "_1.VOB";
}

// Without options: the longest title, its first LPCM stream, named after the disc, bit for bit what FFmpeg
// decodes from the VOB; a chosen title and stream the same way.
TEST(DiscConvert, TitlesAndStreamsAreTheSamplesFfmpegDecodes) {
    REQUIRE_DISC_FIXTURES();
    const std::string work = DiscFixtures().work + "/titles";
    std::filesystem::create_directories(work);
    CliOutcome outcome = Convert({"-q", DiscFixtures().discFolder}, work);
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    const std::vector<int32_t> title1 = Samples(work + "/MUSICDISC-t01.wav");
    EXPECT_EQ(title1.size(), 2u * 48000 * 14);
    EXPECT_EQ(title1, DecodeWithFfmpeg("-i '" + Vob(1) + "' -map 0:a:0"));

    outcome = Convert({"-q", "--title", "2", "--track", "2", DiscFixtures().image}, work);
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    EXPECT_EQ(Samples(work + "/CONCERT_2024-t02.wav"), DecodeWithFfmpeg("-i '" + Vob(2) + "' -map 0:a:1"));
}

// One file per chapter: joined they are the title's samples, each begins at the sample group nearest to
// its chapter's start, and a range converts only its chapters.
TEST(DiscConvert, ChaptersJoinGaplessIntoTheTitle) {
    REQUIRE_DISC_FIXTURES();
    const std::string work = DiscFixtures().work + "/chapters";
    std::filesystem::create_directories(work);
    ASSERT_EQ(Convert({"-q", "-o", work + "/whole.wav", DiscFixtures().image}).exitStatus, 0);
    const CliOutcome outcome = Convert({"-q", "--chapters", "-o", work, DiscFixtures().image});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;

    std::vector<int32_t> joined;
    std::vector<size_t> starts;
    for (const char* chapter : {"c01", "c02", "c03"}) {
        starts.push_back(joined.size() / 2);
        const std::vector<int32_t> samples = Samples(work + "/CONCERT_2024-t01-" + chapter + ".wav");
        joined.insert(joined.end(), samples.begin(), samples.end());
    }
    EXPECT_EQ(joined, Samples(work + "/whole.wav"));
    // The chapters as dvdauthor placed them (0, 4.8 and 12 s in the IFO): exact for 16-bit groups.
    EXPECT_EQ(starts, (std::vector<size_t>{0, 230'400, 576'000}));

    std::filesystem::remove(work + "/CONCERT_2024-t01-c02.wav");
    ASSERT_EQ(Convert({"-q", "-y", "--chapters", "2-2", "-o", work, DiscFixtures().image}).exitStatus, 0);
    const std::vector<int32_t> second = Samples(work + "/CONCERT_2024-t01-c02.wav");
    EXPECT_TRUE(std::equal(second.begin(), second.end(), joined.begin() + 2 * 230'400));
    EXPECT_EQ(second.size(), 2u * (576'000 - 230'400));
}

// What cannot be done is said, with exit status 1 and nothing written.
TEST(DiscConvert, RefusalsSayWhyAndWriteNothing) {
    REQUIRE_DISC_FIXTURES();
    const std::string work = DiscFixtures().work + "/refusals";
    std::filesystem::create_directories(work);
    WriteFile(work + "/take.raw", RandomGroups(3));
    WriteFile(work + "/data.iso", Bytes(32769, 0) + Bytes{'C', 'D', '0', '0', '1'} + Bytes(4096, 0));
    const std::string disc = DiscFixtures().discFolder;
    const std::string copy = work + "/COPY";
    std::filesystem::copy(disc, copy, std::filesystem::copy_options::recursive);
    const std::string vob = copy + "/VIDEO_TS/VTS_01_1.VOB";
    const Bytes vobBefore = ReadFile(vob);
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"--title", "9", disc}, msg::NoSuchTitle(9, 2)},
        {{"--title", "2", "--track", "1", disc}, msg::AudioNotConvertible(1, "AC-3")},
        {{"--chapters", "2-5", disc}, msg::NoSuchChapters(2, 5, 1, 3)},
        {{"--chapters", work + "/take.raw"}, msg::kDiscOptionsOnly},
        {{"--track", "1", work + "/take.raw"}, msg::kTrackOptionOnly},
        {{work}, msg::kNoInput},
        {{work + "/data.iso"}, msg::kNoDisc},
        {{"-y", "-o", copy + "/VIDEO_TS/../VIDEO_TS/VTS_01_1.VOB", copy}, msg::kOutputIsPartOfDisc},
    };
    for (const auto& c : cases) {
        const CliOutcome outcome = Convert(c.args, work);
        EXPECT_EQ(outcome.exitStatus, 1) << c.says;
        EXPECT_NE(outcome.err.find(c.says), std::string::npos) << outcome.err;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work), {}), 3) << "no output";
    EXPECT_EQ(ReadFile(vob), vobBefore);

    // IFO files in a folder, its VOBs in VIDEO_TS below it, where libdvdread looks for them too.
    const std::string flat = DiscFixtures().work + "/FLAT";
    std::filesystem::create_directories(flat + "/VIDEO_TS");
    for (const auto& entry : std::filesystem::directory_iterator(disc + "/VIDEO_TS")) {
        const bool isVob = entry.path().extension() == ".VOB";
        std::filesystem::copy(entry.path(),
                              flat + (isVob ? "/VIDEO_TS/" : "/") + entry.path().filename().string());
    }
    const std::string flatVob = flat + "/VIDEO_TS/VTS_01_1.VOB";
    const Bytes flatVobBefore = ReadFile(flatVob);
    const CliOutcome intoVob = Convert({"-y", "-o", flatVob, flat}, work);
    EXPECT_EQ(intoVob.exitStatus, 1);
    EXPECT_NE(intoVob.err.find(msg::kOutputIsPartOfDisc), std::string::npos) << intoVob.err;
    EXPECT_EQ(ReadFile(flatVob), flatVobBefore);
}

// The run's own outputs beside the disc's files are no part of the disc: converting again replaces them.
TEST(DiscConvert, ChaptersConvertedAgainIntoTheDiscFolder) {
    REQUIRE_DISC_FIXTURES();
    const std::string copy = DiscFixtures().work + "/AGAIN";
    std::filesystem::copy(DiscFixtures().discFolder, copy, std::filesystem::copy_options::recursive);
    for (int run = 0; run < 2; ++run) {
        const CliOutcome outcome = Convert({"-q", "-y", "--chapters", "-o", copy + "/VIDEO_TS", copy}, copy);
        EXPECT_EQ(outcome.exitStatus, 0) << "run " << run << ": " << outcome.err;
    }
}

// A .VOB file straight to WAVE: its first LPCM track unless another is chosen; a stream without LPCM names
// what it has.
TEST(ProgramStreamConvert, TracksAreChosenAndDecodedAsFfmpegDoes) {
    REQUIRE_DISC_FIXTURES();
    const std::string work = DiscFixtures().work + "/streams";
    std::filesystem::create_directories(work);
    const std::string vob = Vob(1);
    CliOutcome outcome = Convert({"-q", "-r", "44100", "--track", "2", "-o", work + "/de.wav", vob});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    EXPECT_NE(outcome.err.find(msg::kRateFromStream), std::string::npos);
    EXPECT_EQ(Samples(work + "/de.wav"), DecodeWithFfmpeg("-i '" + vob + "' -map 0:a:1"));

    const std::string ac3 = work + "/ac3.vob";
    ASSERT_EQ(
        std::system(
            ("ffmpeg -nostdin -v error -f lavfi -i sine=duration=1 -c:a ac3 -f dvd '" + ac3 + "'").c_str()),
        0);
    outcome = Convert({"-q", ac3});
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_NE(outcome.err.find(msg::NoLpcmTrack("AC-3")), std::string::npos) << outcome.err;
    EXPECT_FALSE(Exists(work + "/ac3.wav"));
}

} // namespace
