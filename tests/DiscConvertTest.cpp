// oxlip-convert on real discs and program streams made by FFmpeg, dvdauthor and genisoimage, with FFmpeg
// decoding the same VOB files as the independent reference.
#include "CliProcess.h"
#include "DiscFixtures.h"
#include "FakeHost.h"
#include "TestFiles.h"

#include "disc/Disc.h"
#include "disc/DiscContent.h"
#include "disc/DiscListing.h"
#include "run/InputChoices.h"
#include "run/RunEntry.h"
#include "texts/ListingTexts.h"
#include "texts/Messages.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

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

// The gauge covers the chapters converted: it starts where the first of them begins in the title's stream
// and is full where the last of them ends.
TEST(DiscConvert, TheGaugeCoversTheChapterRange) {
    REQUIRE_DISC_FIXTURES();
    struct TGauge {
        int64_t minimum, maximum, progress, lowest;
    };
    const auto run = [](bool chapters, int first, int last) {
        const TempDir out;
        FakeHost host;
        TRunRequest request;
        request.input = DiscFixtures().discFolder;
        request.output = chapters ? out.Root().string() : out.Path("whole.wav");
        request.selection.chapters = chapters;
        request.selection.firstChapter = first;
        request.selection.lastChapter = last;
        int64_t lowest = INT64_MAX;
        host.onPump = [&](int64_t) { lowest = std::min(lowest, host.gaugeProgress); };
        EXPECT_EQ(MakeRun(host, request)->Execute(), TRunResult::Completed);
        return TGauge{host.gaugeMinimum, host.gaugeMaximum, host.gaugeProgress, lowest};
    };
    const TGauge whole = run(false, 0, 0);
    const TGauge lastTwo = run(true, 2, 3);
    const TGauge firstTwo = run(true, 1, 2);
    EXPECT_EQ(whole.minimum, 0);
    EXPECT_EQ(whole.progress, whole.maximum);
    EXPECT_GT(lastTwo.minimum, 0);
    EXPECT_GE(lastTwo.lowest, lastTwo.minimum);
    EXPECT_EQ(lastTwo.maximum, whole.maximum);
    EXPECT_EQ(lastTwo.progress, lastTwo.maximum);
    EXPECT_EQ(firstTwo.minimum, 0);
    EXPECT_LT(firstTwo.maximum, whole.maximum);
    EXPECT_GT(firstTwo.maximum, lastTwo.minimum);
    EXPECT_EQ(firstTwo.progress, firstTwo.maximum);
}

// STOP! in the second of three chapter files: the first song stays, complete; Abort deletes the one being
// written and Ignore keeps it as a valid shorter file; the third is never begun.
TEST(DiscConvert, StopInAChapterRunKeepsTheFinishedSongs) {
    REQUIRE_DISC_FIXTURES();
    const TempDir whole;
    ASSERT_EQ(
        Convert({"-q", "--chapters", "-o", whole.Root().string(), DiscFixtures().discFolder}).exitStatus, 0);
    const auto file = [](const TempDir& dir, int chapter) {
        return dir.Path("MUSICDISC-t01-c0" + std::to_string(chapter) + ".wav");
    };
    for (const TStopAnswer answer : {TStopAnswer::Abort, TStopAnswer::Ignore}) {
        SCOPED_TRACE(answer == TStopAnswer::Abort ? "Abort" : "Ignore");
        const TempDir out;
        FakeHost host;
        TRunRequest request;
        request.input = DiscFixtures().discFolder;
        request.output = out.Root().string();
        request.selection.chapters = true;
        const std::unique_ptr<TRun> run = MakeRun(host, request);
        host.stopAnswers = {answer};
        int64_t pumpsInSecond = 0;
        host.onPump = [&](int64_t) {
            if (host.outputsStarted.size() == 2 && ++pumpsInSecond == 2)
                run->Control().StopQuestion();
        };
        EXPECT_EQ(run->Execute(), answer == TStopAnswer::Abort ? TRunResult::Aborted : TRunResult::Stopped);
        EXPECT_EQ(ReadFile(file(out, 1)), ReadFile(file(whole, 1)));
        EXPECT_FALSE(std::filesystem::exists(file(out, 3)));
        if (answer == TStopAnswer::Abort) {
            EXPECT_FALSE(std::filesystem::exists(file(out, 2)));
            continue;
        }
        const std::vector<int32_t> kept = Samples(file(out, 2));
        const std::vector<int32_t> full = Samples(file(whole, 2));
        ASSERT_GT(kept.size(), 0u);
        ASSERT_LT(kept.size(), full.size());
        EXPECT_TRUE(std::equal(kept.begin(), kept.end(), full.begin()));
    }
}

// The tone of a stretch of a stereo track's left channel, from its upward zero crossings.
int ToneHz(const std::vector<int32_t>& samples, size_t firstFrame, size_t frames) {
    int crossings = 0;
    for (size_t f = firstFrame + 1; f < firstFrame + frames; ++f)
        crossings += samples[2 * (f - 1)] < 0 && samples[2 * f] >= 0;
    return static_cast<int>(crossings * 48000 / frames);
}

// Each chapter file holds its own song, from its first sample to its last, on a disc of one VOB per song
// (whose second song's audio is shorter than its video) and on one whose audio starts after its video;
// joined they are still the title, and the listing gives the files' starts and lengths.
TEST(DiscConvert, EachChapterFileHoldsItsOwnSong) {
    REQUIRE_DISC_FIXTURES();
    const struct {
        std::string disc;
        std::vector<size_t> frames;
        std::string note;
    } discs[] = {
        // 15.5 s of video are 388 frames, 15.52 s.
        {SongDiscs().songsDisc, {480'000, 720'000, 480'000}, msg::ChapterAudioLength(2, -0.52)},
        {SongDiscs().lateDisc, {441'600, 480'000, 470'400}, msg::ChapterAudioLength(1, -1.0)},
    };
    for (const auto& c : discs) {
        const std::string work = SongDiscs().work + "/" + std::filesystem::path(c.disc).filename().string();
        std::filesystem::create_directories(work);
        ASSERT_EQ(Convert({"-q", "-o", work + "/whole.wav", c.disc}).exitStatus, 0);
        const CliOutcome outcome = Convert({"--chapters", "-o", work, c.disc});
        ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
        // Said once, for that chapter only.
        EXPECT_NE(outcome.err.find(c.note), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.err.find("its audio is"), outcome.err.rfind("its audio is")) << outcome.err;

        std::vector<int32_t> joined;
        for (int k = 1; k <= 3; ++k) {
            const std::string name =
                std::filesystem::path(c.disc).filename().string() + "-t01-c0" + std::to_string(k) + ".wav";
            const std::vector<int32_t> samples = Samples(work + "/" + name);
            const size_t frames = samples.size() / 2;
            EXPECT_EQ(frames, c.frames[k - 1]) << name;
            const int hz = (std::vector<int>{440, 660, 880})[k - 1];
            // The first and the last 50 ms are the song's own tone.
            EXPECT_NEAR(ToneHz(samples, 0, 2400), hz, 30) << name << " begins";
            EXPECT_NEAR(ToneHz(samples, frames - 2400, 2400), hz, 30) << name << " ends";
            joined.insert(joined.end(), samples.begin(), samples.end());
        }
        EXPECT_EQ(joined, Samples(work + "/whole.wav"));
        const std::string listing = ShellOutput(std::string(OXLIP_CONVERT) + " --list '" + c.disc + "'");
        for (size_t k = 0, start = 0; k < 3; start += c.frames[k++])
            EXPECT_NE(listing.find(listing_text::Chapter(static_cast<int>(k) + 1, FormatTicks(start * 15 / 8),
                                                         FormatTicks(c.frames[k] * 15 / 8))),
                      std::string::npos)
                << listing;
        // A whole title marks its chapters where the files begin.
        ASSERT_EQ(Convert({"-q", "-o", work + "/whole.flac", c.disc}).exitStatus, 0);
        const std::string sheet = ShellOutput("metaflac --export-cuesheet-to=- '" + work + "/whole.flac'");
        const size_t second = c.frames[0], third = c.frames[0] + c.frames[1];
        for (const size_t start : {size_t{0}, second, third})
            EXPECT_NE(sheet.find("INDEX 01 " + std::to_string(start) + "\n"), std::string::npos) << sheet;
    }
}

// Titles that share one VOB (one per song beside the whole concert) begin where their first cell's video
// does and end where their last cell's does, reading past the cell for their own audio: each holds the
// same span as the whole title's chapter, but for the stray of the time stamp it is counted from (at most
// one of FFmpeg's LPCM frames of 2008 bytes, 502 sample times), and the listing gives its file's length.
TEST(DiscConvert, TitlesInsideAVobBeginAndEndWithTheirCells) {
    REQUIRE_DISC_FIXTURES();
    const std::string disc = SongDiscs().sharedDisc, work = SongDiscs().work + "/shared";
    std::filesystem::create_directories(work);
    ASSERT_EQ(Convert({"-q", "--chapters", "-o", work, disc}).exitStatus, 0);
    const std::string listing = ShellOutput(std::string(OXLIP_CONVERT) + " --list '" + disc + "'");
    const long kStray = 502;
    const struct {
        int title, hz;
        long longer; // the last song ends with the stream, and keeps the stray its start was cut at
    } songs[] = {{2, 660, 0}, {3, 880, kStray}};
    for (const auto& song : songs) {
        const std::string n = std::to_string(song.title);
        SCOPED_TRACE("title " + n);
        ASSERT_EQ(Convert({"-q", "--title", n, "-o", work + "/t" + n + ".wav", disc}).exitStatus, 0);
        const std::vector<int32_t> samples = Samples(work + "/t" + n + ".wav");
        const std::vector<int32_t> chapter = Samples(work + "/SHARED-t01-c0" + n + ".wav");
        const auto frames = static_cast<long>(samples.size() / 2),
                   chapterFrames = static_cast<long>(chapter.size() / 2);
        EXPECT_GE(frames, chapterFrames);
        EXPECT_LE(frames, chapterFrames + song.longer);
        EXPECT_NEAR(ToneHz(samples, 0, 2400), song.hz, 30) << "begins";
        EXPECT_NEAR(ToneHz(samples, static_cast<size_t>(frames) - 2400, 2400), song.hz, 30) << "ends";
        long shift = -kStray;
        while (shift <= kStray && !std::equal(samples.begin() + 96'000, samples.begin() + 192'000,
                                              chapter.begin() + 96'000 + 2 * shift))
            ++shift;
        EXPECT_LE(shift, kStray);
        const size_t title = listing.find("Title " + n + ":");
        EXPECT_EQ(listing.find(listing_text::Chapter(1, FormatTicks(0), FormatTicks(frames * 15 / 8)), title),
                  listing.find('\n', title) + 1)
            << listing;
    }
}

// FLAC of a disc: a title at its stream's own resolution and chapters joined gapless, bit for bit what
// FFmpeg decodes from the VOB, tagged from the disc, whole by flac's own test; a VOB file the same way.
TEST(DiscConvert, FlacTitlesChaptersAndStreamsAreTaggedAndBitExact) {
    REQUIRE_DISC_FIXTURES();
    const std::string work = DiscFixtures().work + "/flac";
    std::filesystem::create_directories(work);
    const std::string image = DiscFixtures().image;
    const auto tags = [](const std::string& flac) {
        return ShellOutput("metaflac --export-tags-to=- '" + flac + "'");
    };
    const std::string encoder = "ENCODER=Oxlip " OXLIP_VERSION "\n";

    ASSERT_EQ(Convert({"-q", "--flac", "--title", "2", "--track", "2", image}, work).exitStatus, 0);
    const std::string title2 = work + "/CONCERT_2024-t02.flac";
    EXPECT_EQ(Samples(title2), DecodeWithFfmpeg("-i '" + Vob(2) + "' -map 0:a:1"));
    EXPECT_EQ(ShellOutput("metaflac --show-bps --show-sample-rate --show-channels '" + title2 + "'"),
              "24\n96000\n1\n");
    EXPECT_EQ(tags(title2), encoder + "ALBUM=CONCERT_2024\nTITLE=Title 2\n");

    const CliOutcome outcome = Convert(
        {"-q", "--flac", "--chapters", "--tag", "album=Live", "--tag", "ARTIST=Band", "-o", work, image});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    std::vector<int32_t> joined;
    for (int c = 1; c <= 3; ++c) {
        const std::string chapter = work + "/CONCERT_2024-t01-c0" + std::to_string(c) + ".flac";
        EXPECT_EQ(ShellOutput("flac -s -t '" + chapter + "' 2>&1"), "");
        EXPECT_EQ(tags(chapter), encoder + "TITLE=Chapter " + std::to_string(c) + "\nTRACKNUMBER=" +
                                     std::to_string(c) + "\nTRACKTOTAL=3\nalbum=Live\nARTIST=Band\n");
        const std::vector<int32_t> samples = Samples(chapter);
        joined.insert(joined.end(), samples.begin(), samples.end());
    }
    EXPECT_EQ(joined, DecodeWithFfmpeg("-i '" + Vob(1) + "' -map 0:a:0"));

    ASSERT_EQ(Convert({"-q", "--track", "2", "-o", work + "/de.flac", Vob(1)}).exitStatus, 0);
    EXPECT_EQ(ShellOutput("flac -s -t '" + work + "/de.flac' 2>&1"), "");
    EXPECT_EQ(Samples(work + "/de.flac"), DecodeWithFfmpeg("-i '" + Vob(1) + "' -map 0:a:1"));
    // Named after the stream, as its WAVE output is.
    EXPECT_EQ(tags(work + "/de.flac"), encoder + "TITLE=VTS_01_1\n");
}

// The chunks of a RIFF file after its header's 12 bytes: each id with its body.
std::vector<std::pair<std::string, Bytes>> Chunks(const Bytes& file) {
    std::vector<std::pair<std::string, Bytes>> chunks;
    for (size_t at = 12; at + 8 <= file.size();) {
        const size_t size = U32At(file, at + 4);
        const size_t end = std::min(file.size(), at + 8 + size);
        chunks.emplace_back(std::string(file.begin() + at, file.begin() + at + 4),
                            Bytes(file.begin() + at + 8, file.begin() + end));
        at += 8 + size + (size & 1);
    }
    return chunks;
}

// A whole title marks its chapters where the chapter files begin: a FLAC CUESHEET (not CD-DA) with the
// lead-out at the end, and in WAVE a cue point per chapter, labelled, with INFO after the data; FFmpeg
// and libsndfile still read the samples.
TEST(DiscConvert, WholeTitlesMarkTheirChapters) {
    REQUIRE_DISC_FIXTURES();
    const std::string work = DiscFixtures().work + "/marks";
    std::filesystem::create_directories(work);
    ASSERT_EQ(Convert({"-q", "-o", work + "/whole.flac", DiscFixtures().image}).exitStatus, 0);
    ASSERT_EQ(Convert({"-q", "-o", work + "/whole.wav", DiscFixtures().image}).exitStatus, 0);
    EXPECT_EQ(ShellOutput("flac -s -t '" + work + "/whole.flac' 2>&1"), "");
    const std::string sheet = ShellOutput("metaflac --list --block-type=CUESHEET '" + work + "/whole.flac'");
    EXPECT_NE(sheet.find("is CD: false"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("number of tracks: 4"), std::string::npos) << sheet;
    std::vector<std::string> offsets;
    // The tracks' offsets; their index points, indented further, are at 0 in each track.
    const std::string track = "\n      offset: ";
    for (size_t at = sheet.find(track); at != std::string::npos; at = sheet.find(track, at + 1))
        offsets.push_back(sheet.substr(at + track.size(), sheet.find('\n', at + 1) - at - track.size()));
    EXPECT_EQ(offsets, (std::vector<std::string>{"0", "230400", "576000", "672000"}));
    EXPECT_EQ(Samples(work + "/whole.flac"), Samples(work + "/whole.wav"));

    const auto chunks = Chunks(ReadFile(work + "/whole.wav"));
    std::vector<std::string> ids;
    for (const auto& chunk : chunks)
        ids.push_back(chunk.first);
    ASSERT_EQ(ids, (std::vector<std::string>{"JUNK", "fmt ", "data", "cue ", "LIST", "LIST"}));
    const Bytes& cue = chunks[3].second;
    ASSERT_EQ(cue.size(), 4u + 3 * 24);
    for (uint32_t point = 0; point < 3; ++point) {
        EXPECT_EQ(U32At(cue, 4 + 24 * point), point + 1);
        EXPECT_EQ(U32At(cue, 4 + 24 * point + 20), (std::vector<uint32_t>{0, 230400, 576000})[point]);
    }
    const std::string adtl(chunks[4].second.begin(), chunks[4].second.end());
    const std::string info(chunks[5].second.begin(), chunks[5].second.end());
    EXPECT_EQ(adtl.substr(0, 4), "adtl");
    EXPECT_NE(adtl.find(std::string("Chapter 3\0", 10)), std::string::npos);
    EXPECT_EQ(info.substr(0, 4), "INFO");
    for (const std::string& text : {std::string("INAM"), std::string("Title 1"), std::string("IPRD"),
                                    std::string("CONCERT_2024"), std::string("ISFT"), std::string("Oxlip ")})
        EXPECT_NE(info.find(text), std::string::npos) << text;
    SF_INFO sfInfo{};
    SNDFILE* file = sf_open((work + "/whole.wav").c_str(), SFM_READ, &sfInfo);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sfInfo.frames, 672000);
    sf_close(file);
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
        {{"--chapters", "-o", "nofolder/", disc}, msg::NoSuchFolder("nofolder/", false)},
        {{"--chapters", "-o", work + "/take.raw", disc}, msg::NoSuchFolder(work + "/take.raw", true)},
        {{"--chapters", work + "/take.raw"}, msg::kDiscOptionsOnly},
        {{"--track", "1", work + "/take.raw"}, msg::kTrackOptionOnly},
        {{work}, msg::kNoInput},
        {{work + "/data.iso"}, msg::kNoDisc},
        {{"-y", "-o", copy + "/VIDEO_TS/../VIDEO_TS/VTS_01_1.VOB", copy}, msg::kOutputIsPartOfDisc},
    };
    for (const auto& c : cases) {
        const CliOutcome outcome = Convert(c.args, work);
        EXPECT_EQ(outcome.exitStatus, 1) << c.says;
        EXPECT_NE(outcome.err.find(c.says), std::string::npos) << c.says << ": " << outcome.err;
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

// Without --title, the longest title with LPCM audio, alike in every host: the disc run, the window's
// proposal and the disc dialog's first choice. A disc with none says so of its longest title.
TEST(DiscConvert, TheDefaultTitleIsTheLongestWithLpcm) {
    REQUIRE_DISC_FIXTURES();
    const std::string documentary = DiscFixtures().documentary;
    const std::string work = DiscFixtures().work + "/default-title";
    std::filesystem::create_directories(work);
    CliOutcome outcome = Convert({"-q", documentary}, work);
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    const std::vector<int32_t> title2 = Samples(work + "/DOCUMENTARY-t02.wav");
    EXPECT_EQ(title2.size(), 2u * 48000 * 2);
    EXPECT_EQ(title2, DecodeWithFfmpeg("-i '" + documentary + "/VIDEO_TS/VTS_02_1.VOB' -map 0:a:0"));
    EXPECT_EQ(ProposeOutputFor(documentary, *ClassifyInput(documentary)),
              (std::filesystem::path(documentary).parent_path() / "DOCUMENTARY-t02.wav").string());
    TDiscChoices choices;
    std::string error;
    ASSERT_TRUE(ReadDiscChoices(documentary, choices, error)) << error;
    EXPECT_EQ(choices.preferredTitle, 2);

    outcome = Convert({"-q", DiscFixtures().speech}, work);
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_EQ(outcome.err, Said(DiscFixtures().speech, {msg::TitleWithoutLpcm(1, "AC-3")}));

    // A title set's IFO names its own title, for the window and for oxlip-convert alike.
    const std::string ifo = DiscFixtures().discFolder + "/VIDEO_TS/VTS_02_0.IFO";
    TRunRequest request;
    request.input = ifo;
    request.folder = work;
    EXPECT_EQ(PlanInput(request).outputs, (std::vector<std::string>{work + "/MUSICDISC-t02.wav"}));
    outcome = Convert({"-q", ifo}, work);
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    EXPECT_EQ(Samples(work + "/MUSICDISC-t02.wav"), DecodeWithFfmpeg("-i '" + Vob(2) + "' -map 0:a:1"));
}

// Each input goes to its kind's row, which says what a host may offer of it and which selections it takes;
// a selection a kind does not take is refused by its run with the row's reason.
TEST(InputKinds, EachInputIsDispatchedToItsRow) {
    REQUIRE_DISC_FIXTURES();
    const std::string work = DiscFixtures().work + "/kinds";
    std::filesystem::create_directories(work);
    WriteFile(work + "/take.raw", RandomGroups(3));
    WriteFile(work + "/fake.vob", RandomGroups(3));
    const struct {
        std::string input;
        std::string kind;   // "" for a refused input
        std::string offers; // titles, tracks, input format, names its own outputs: 1 or 0 each
        TSelection selection;
        std::string refusal;
    } cases[] = {
        {work + "/take.raw", "raw", "0010", {}, ""},
        {work + "/take.raw", "raw", "0010", {.track = 1}, msg::kTrackOptionOnly},
        {Vob(1), "program-stream", "0100", {.track = 2}, ""},
        {Vob(1), "program-stream", "0100", {.title = 1}, msg::kDiscOptionsOnly},
        {DiscFixtures().discFolder, "dvd-video", "1001", {.title = 2, .chapters = true}, ""},
        {work + "/fake.vob", "", "", {}, msg::kNoProgramStream},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        TRunRequest request;
        request.input = c.input;
        request.selection = c.selection;
        request.folder = work;
        const TInputPlan plan = PlanInput(request);
        ASSERT_EQ(plan.kind ? plan.kind->id : "", c.kind);
        if (plan.kind) {
            const TInputKindRow& row = *plan.kind;
            EXPECT_EQ(std::to_string(row.offersTitles) + std::to_string(row.offersTracks) +
                          std::to_string(row.takesInputFormat) + std::to_string(row.namesOwnOutputs),
                      c.offers);
            const char* refusal = row.selectionRefusal(c.selection);
            EXPECT_EQ(refusal ? refusal : "", c.refusal);
            EXPECT_EQ(plan.outputs.empty(), refusal != nullptr);
        }
        if (!c.refusal.empty()) {
            FakeHost host;
            EXPECT_EQ(MakeRun(host, request)->Execute(), TRunResult::Refused);
            EXPECT_EQ(host.errors, std::vector<std::string>{c.refusal});
        }
    }
}

// Where an input's outputs go without -o, worked out before its run: a file beside itself, but a file of
// a disc's folder, and a disc's title or chapter files, into the request's folder; -o for a disc's
// chapters names their folder. A request its run refuses plans nothing.
TEST(OutputPlan, EachInputsOutputsAreKnownBeforeItsRun) {
    REQUIRE_DISC_FIXTURES();
    const std::string disc = DiscFixtures().discFolder;
    const std::string work = DiscFixtures().work + "/plan";
    std::filesystem::create_directories(work);
    WriteFile(work + "/take.raw", RandomGroups(3));
    std::filesystem::remove(work + "/song.vob");
    std::filesystem::create_symlink(Vob(1), work + "/song.vob");
    // What a request asks; its default outputs go to /out.
    struct Asked {
        std::string input, output = "";
        bool flac = false;
        int title = 0, track = 0;
        bool chapters = false;
        int first = 0, last = 0;
    };
    const struct {
        Asked asked;
        std::vector<std::string> outputs;
    } cases[] = {
        {{.input = work + "/take.raw"}, {work + "/take.wav"}},
        {{.input = work + "/song.vob"}, {work + "/song.wav"}},
        {{.input = Vob(1)}, {"/out/VTS_01_1.wav"}},
        {{.input = disc}, {"/out/MUSICDISC-t01.wav"}},
        {{.input = disc + "/VIDEO_TS/VTS_02_0.IFO", .title = 2, .chapters = true, .first = 2},
         {"/out/MUSICDISC-t02-c02.wav"}},
        {{.input = disc, .output = "/songs", .flac = true, .chapters = true, .last = 2},
         {"/songs/MUSICDISC-t01-c01.flac", "/songs/MUSICDISC-t01-c02.flac"}},
        {{.input = disc, .chapters = true, .first = 2, .last = 5}, {}},
        {{.input = disc, .title = 2, .track = 1}, {}},
        {{.input = work + "/take.raw", .chapters = true}, {}},
    };
    for (const auto& [asked, outputs] : cases) {
        TRunRequest request;
        request.input = asked.input;
        request.output = asked.output;
        request.folder = "/out";
        request.format = asked.flac ? OutputFormatById("flac") : nullptr;
        request.selection = {asked.title, asked.track, asked.chapters, asked.first, asked.last, false};
        EXPECT_EQ(PlanInput(request).outputs, outputs) << asked.input;
    }
}

// What a disc's run cannot create is said of the output, not of the disc.
TEST(DiscConvert, AnOutputThatCannotBeCreatedIsNamed) {
    REQUIRE_DISC_FIXTURES();
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Root().c_str(), 0755), 0); // the other user reaches the disc
    const std::string disc = dir.Path("DOCUMENTARY");
    std::filesystem::copy(DiscFixtures().documentary, disc, std::filesystem::copy_options::recursive);
    ASSERT_EQ(::mkdir(dir.Path("readonly").c_str(), 0555), 0);
    CliRun run;
    run.args = {"-q", disc};
    run.workingDir = dir.Path("readonly");
    run.asNobody = true; // root writes anywhere
    const CliOutcome outcome = RunCli(run);
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_EQ(outcome.err,
              Said("./DOCUMENTARY-t02.wav", {msg::kFolderNotWritable, msg::kCannotCreateOutput}));
}

// One call with several discs knows every output before it converts: two discs of one label never
// overwrite each other's files, even with -y (the later is refused), and -o with --chapters is the
// folder for every disc's chapters.
TEST(DiscConvert, SeveralDiscsInOneCall) {
    REQUIRE_DISC_FIXTURES();
    TempDir dir;
    // Two different discs both labelled DVD_VIDEO, each with an LPCM title 2 of two chapters.
    for (const auto& [folder, disc] :
         {std::pair{"a", DiscFixtures().documentary}, {"b", DiscFixtures().discFolder}}) {
        std::filesystem::create_directories(dir.Path(folder) + "/DVD_VIDEO");
        std::filesystem::create_directory_symlink(disc + "/VIDEO_TS",
                                                  dir.Path(folder) + "/DVD_VIDEO/VIDEO_TS");
    }
    const std::string a = dir.Path("a/DVD_VIDEO"), b = dir.Path("b/DVD_VIDEO");
    const std::vector<int32_t> titleOfA =
        DecodeWithFfmpeg("-i '" + DiscFixtures().documentary + "/VIDEO_TS/VTS_02_1.VOB' -map 0:a:0");
    CliOutcome outcome = Convert({"-q", "-y", "--title=2", a, b}, dir.Path(""));
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_EQ(outcome.err, Said(b, {msg::OutputOfEarlierInput("./DVD_VIDEO-t02.wav", a)}));
    EXPECT_EQ(Samples(dir.Path("DVD_VIDEO-t02.wav")), titleOfA);

    std::filesystem::create_directory(dir.Path("songs"));
    outcome = Convert({"-q", "--title=2", "--chapters", "-o", dir.Path("songs"), a, DiscFixtures().image});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    std::vector<int32_t> joined;
    for (const char* chapter : {"DVD_VIDEO-t02-c01.wav", "DVD_VIDEO-t02-c02.wav"}) {
        const std::vector<int32_t> samples = Samples(dir.Path("songs/") + chapter);
        joined.insert(joined.end(), samples.begin(), samples.end());
    }
    EXPECT_EQ(joined, titleOfA);
    for (const char* chapter : {"CONCERT_2024-t02-c01.wav", "CONCERT_2024-t02-c02.wav"})
        EXPECT_TRUE(Exists(dir.Path("songs/") + chapter)) << chapter;
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
    const std::vector<int32_t> samples = Samples(work + "/de.wav");
    EXPECT_EQ(samples, DecodeWithFfmpeg("-i '" + vob + "' -map 0:a:1"));
    // After the samples, INFO names the stream and the program; libsndfile reads the file as well.
    const auto chunks = Chunks(ReadFile(work + "/de.wav"));
    ASSERT_EQ(chunks.size(), 4u);
    EXPECT_EQ(chunks[2].first, "data");
    EXPECT_EQ(chunks[3].first, "LIST");
    const std::string info(chunks[3].second.begin(), chunks[3].second.end());
    EXPECT_EQ(info.substr(0, 4), "INFO");
    for (const std::string& text : {std::string("INAM"), std::string("VTS_01_1\0", 9), std::string("ISFT"),
                                    std::string("Oxlip " OXLIP_VERSION "\0", sizeof("Oxlip " OXLIP_VERSION))})
        EXPECT_NE(info.find(text), std::string::npos) << text;
    SF_INFO sfInfo{};
    SNDFILE* file = sf_open((work + "/de.wav").c_str(), SFM_READ, &sfInfo);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<int32_t> read(static_cast<size_t>(sfInfo.frames * sfInfo.channels));
    EXPECT_EQ(sf_readf_int(file, read.data(), sfInfo.frames), sfInfo.frames);
    sf_close(file);
    EXPECT_EQ(read, samples);

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

// A 5.1 24-bit stream as FFmpeg writes it: detected as quads and said so; --lpcm-packing forces either
// reading, without the note.
TEST(ProgramStreamConvert, TheLpcmPackingIsDetectedOrForced) {
    TempDir dir;
    const std::string vob = dir.Path("surround.vob");
    ASSERT_EQ(
        std::system(("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=2 -ac 6 -c:a pcm_dvd "
                     "-sample_fmt s32 -f dvd '" +
                     vob + "'")
                        .c_str()),
        0);
    const std::vector<int32_t> ffmpeg = DecodeWithFfmpeg("-i '" + vob + "' -map 0:a:0");
    struct Case {
        std::vector<std::string> option;
        bool asFfmpeg, note;
    } cases[] = {{{}, true, true},
                 {{"--lpcm-packing", "auto"}, true, true},
                 {{"--lpcm-packing", "quads"}, true, false},
                 {{"--lpcm-packing", "pairs"}, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option.empty() ? "no option" : c.option[1]);
        std::vector<std::string> args = c.option;
        args.insert(args.end(), {"-q", "-y", "-o", dir.Path("out.wav"), vob});
        const CliOutcome outcome = Convert(args);
        ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
        const std::vector<int32_t> samples = Samples(dir.Path("out.wav"));
        EXPECT_EQ(samples.size(), ffmpeg.size());
        EXPECT_EQ(samples == ffmpeg, c.asFfmpeg);
        EXPECT_EQ(outcome.err.find(msg::kQuadsDetected) != std::string::npos, c.note) << outcome.err;
    }
    const CliOutcome wrong = Convert({"--lpcm-packing", "fours", vob});
    EXPECT_EQ(wrong.exitStatus, 2);
    EXPECT_NE(wrong.err.find("--lpcm-packing takes pairs, quads or auto"), std::string::npos) << wrong.err;
}

// A 5.1 24-bit stream that begins with silence converts as FFmpeg decodes it; one whose packing the audio
// never tells (noise) converts as pairs, and the run says so.
TEST(ProgramStreamConvert, ASilentStartIsPassedOverAndAnUntoldPackingSaid) {
    TempDir dir;
    const struct {
        std::string source;
        bool asFfmpeg;
        std::string note;
    } cases[] = {
        {"aevalsrc=if(lt(t\\,1.5)\\,0\\,0.5*sin(2*PI*440*t)):c=5.1:s=48000:d=3", true, msg::kQuadsDetected},
        {"anoisesrc=d=1:a=0.5,pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", false, msg::PackingUnknown(6)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const std::string vob = dir.Path("surround.vob");
        ASSERT_EQ(std::system(("ffmpeg -nostdin -y -v error -f lavfi -i \"" + c.source +
                               "\" -ar 48000 -c:a pcm_dvd -sample_fmt s32 -f dvd '" + vob + "'")
                                  .c_str()),
                  0);
        const std::string out = dir.Path(c.asFfmpeg ? "silent.wav" : "noise.wav");
        const CliOutcome outcome = Convert({"-q", "-o", out, vob});
        ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
        EXPECT_EQ(outcome.err, Said(vob, {c.note}));
        EXPECT_EQ(Samples(out) == DecodeWithFfmpeg("-i '" + vob + "' -map 0:a:0"), c.asFfmpeg);
    }
}

// An FFmpeg-authored 5.1 24-bit title: detected once at its start, the same reading in every chapter, so
// the chapters join into the title and the title is FFmpeg's decode of its VOB file.
TEST(DiscConvert, ASurroundTitleKeepsItsPackingInEveryChapter) {
    REQUIRE_DISC_FIXTURES(); // the authoring tools are there
    TempDir dir;
    const std::string clip = dir.Path("a.mpg"), disc = dir.Path("SURROUND");
    ASSERT_EQ(
        std::system(("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=4 -f lavfi -i "
                     "testsrc=size=352x288:rate=25:duration=4 -target pal-dvd -s 352x288 -b:v 300k -g 5 "
                     "-map 1:v -map 0:a -c:a pcm_dvd -ac 6 -ar 48000 -sample_fmt s32 '" +
                     clip + "'")
                        .c_str()),
        0);
    std::ofstream(dir.Path("disc.xml"))
        << "<dvdauthor dest=\"" << disc << "\"><vmgm/><titleset><titles><pgc><vob file=\"" << clip
        << "\" chapters=\"0,0:01,0:02.5\"/></pgc></titles></titleset></dvdauthor>";
    ASSERT_EQ(
        std::system(("VIDEO_FORMAT=PAL dvdauthor -x '" + dir.Path("disc.xml") + "' >/dev/null 2>&1").c_str()),
        0);
    CliOutcome outcome = Convert({"-q", "-o", dir.Path("whole.wav"), disc});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    EXPECT_NE(outcome.err.find(msg::kQuadsDetected), std::string::npos);
    const std::vector<int32_t> whole = Samples(dir.Path("whole.wav"));
    EXPECT_EQ(whole, DecodeWithFfmpeg("-i '" + disc + "/VIDEO_TS/VTS_01_1.VOB' -map 0:a:0"));
    outcome = Convert({"-q", "--chapters", "2-3", "-o", dir.Path(""), disc});
    ASSERT_EQ(outcome.exitStatus, 0) << outcome.err;
    std::vector<int32_t> joined;
    for (const char* chapter : {"c02", "c03"}) {
        const std::vector<int32_t> samples =
            Samples(dir.Path(std::string("SURROUND-t01-") + chapter + ".wav"));
        joined.insert(joined.end(), samples.begin(), samples.end());
    }
    ASSERT_FALSE(joined.empty());
    ASSERT_LE(joined.size(), whole.size());
    EXPECT_TRUE(std::equal(joined.rbegin(), joined.rend(), whole.rbegin()));
}

// A title whose second VOB changes the audio format: a whole-title run keeps what comes before the change
// and names the chapter where it happens; chapter files keep the format of their own audio.
TEST(DiscConvert, AFormatChangeInATitleNamesItsChapter) {
    REQUIRE_DISC_FIXTURES();
    TempDir dir;
    std::string vobs;
    for (const char* format : {"-ar 48000 -sample_fmt s16", "-ar 96000 -sample_fmt s32"}) {
        const std::string clip = dir.Path(std::to_string(vobs.size()) + ".mpg");
        ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -f lavfi -i sine=duration=2 -f lavfi -i "
                               "testsrc=size=352x288:rate=25:duration=2 -target pal-dvd -s 352x288 -b:v 300k "
                               "-map 1:v -map 0:a -c:a pcm_dvd -ac 2 " +
                               std::string(format) + " '" + clip + "'")
                                  .c_str()),
                  0);
        vobs += "<vob file=\"" + clip + "\" chapters=\"0\"/>";
    }
    const std::string disc = dir.Path("CHANGE");
    std::ofstream(dir.Path("disc.xml")) << "<dvdauthor dest=\"" << disc << "\"><vmgm/><titleset><titles><pgc>"
                                        << vobs << "</pgc></titles></titleset></dvdauthor>";
    ASSERT_EQ(
        std::system(("VIDEO_FORMAT=PAL dvdauthor -x '" + dir.Path("disc.xml") + "' >/dev/null 2>&1").c_str()),
        0);
    const CliOutcome outcome = Convert({"-q", "-o", dir.Path("whole.wav"), disc});
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_NE(outcome.err.find(", in chapter 2; what comes before it was converted"), std::string::npos)
        << outcome.err;
    EXPECT_NEAR(static_cast<double>(Samples(dir.Path("whole.wav")).size()) / 2 / 48000, 2.0, 0.05);
    // Rate and bits of a WAVE header; seconds of its stereo samples.
    const auto format = [&](const std::string& name) {
        const Bytes head = ReadFile(dir.Path(name));
        const size_t fmt = std::string(head.begin(), head.end()).find("fmt ") + 8;
        return std::to_string(head.at(fmt + 4) | head.at(fmt + 5) << 8 | head.at(fmt + 6) << 16) + "/" +
               std::to_string(head.at(fmt + 14));
    };
    const auto seconds = [&](const std::string& name, int rate) {
        return static_cast<double>(Samples(dir.Path(name)).size()) / 2 / rate;
    };
    struct {
        const char* range;
        const char* folder;
        std::vector<std::string> formats; // of chapters 1 and 2 as far as the range goes
    } const cases[] = {{"1-2", "both", {"48000/16", "96000/24"}}, {"2", "second", {"", "96000/24"}}};
    for (const auto& c : cases) {
        const std::string folder = dir.Path(c.folder);
        std::filesystem::create_directory(folder);
        const CliOutcome chapters = Convert({"-q", "--chapters", c.range, "-o", folder, disc});
        EXPECT_EQ(chapters.exitStatus, 0) << c.range << chapters.err;
        EXPECT_NE(chapters.err.find(msg::FormatFromChapter(2, msg::AudioFormatText(96000, 24, 2))),
                  std::string::npos)
            << chapters.err;
        for (size_t k = 0; k < 2; ++k) {
            const std::string name =
                std::string(c.folder) + "/CHANGE-t01-c0" + std::to_string(k + 1) + ".wav";
            EXPECT_EQ(std::filesystem::exists(dir.Path(name)), !c.formats[k].empty()) << name;
            if (c.formats[k].empty())
                continue;
            EXPECT_EQ(format(name), c.formats[k]) << name;
            EXPECT_NEAR(seconds(name, k == 0 ? 48000 : 96000), 2.0, 0.05) << name;
        }
    }
    // The listing gives the second chapter its own length, and says where a conversion stops.
    const std::string listed = ShellOutput(std::string(OXLIP_CONVERT) + " --list '" + disc + "'");
    EXPECT_EQ(listed.find("length 0:00:00.000"), std::string::npos) << listed;
    EXPECT_NE(listed.find("the audio format changes in chapter 2"), std::string::npos) << listed;
}

namespace fs = std::filesystem;

// A copy of the fixture disc under `name`, changed by `change` (given its VIDEO_TS folder).
fs::path ChangedDisc(const std::string& name, const std::function<void(const fs::path&)>& change) {
    const fs::path copy = fs::path(DiscFixtures().work) / name;
    fs::remove_all(copy);
    fs::copy(DiscFixtures().discFolder, copy, fs::copy_options::recursive);
    change(copy / "VIDEO_TS");
    return copy;
}

// IFO fields are big-endian.
uint32_t Be32(const Bytes& b, size_t at) {
    return uint32_t{b.at(at)} << 24 | uint32_t{b.at(at + 1)} << 16 | uint32_t{b.at(at + 2)} << 8 |
           b.at(at + 3);
}
uint16_t Be16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) << 8 | b.at(at + 1));
}

// Changes title set 1's IFO and its BUP alike.
void PatchTitleSet1(const fs::path& videoTs, const std::function<void(Bytes&)>& patch) {
    for (const char* name : {"VTS_01_0.IFO", "VTS_01_0.BUP"}) {
        Bytes ifo = ReadFile((videoTs / name).string());
        patch(ifo);
        WriteFile((videoTs / name).string(), ifo);
    }
}

// A title whose title set's IFO or VOB file is missing is listed as unreadable, naming the file, and is
// refused by number; the other titles convert, and without a title chosen the longest is taken only when
// the unreadable title is known to be shorter. The window's choices offer it as not to be chosen.
TEST(DiscConvert, ATitleThatCannotBeReadSpoilsOnlyItself) {
    REQUIRE_DISC_FIXTURES();
    const std::vector<int32_t> title1 = DecodeWithFfmpeg("-i '" + Vob(1) + "' -map 0:a:0");
    const struct {
        const char* name;
        std::vector<const char*> removed;
        std::string reason, defaultError;
    } cases[] = {
        {"NO_IFO",
         {"VTS_02_0.IFO", "VTS_02_0.BUP"},
         msg::IfoMissing(2),
         msg::LongestTitleUnknown(2, msg::IfoMissing(2))},
        {"NO_VOB", {"VTS_02_1.VOB"}, msg::VobMissing(2), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path disc = ChangedDisc(c.name, [&](const fs::path& videoTs) {
            for (const char* file : c.removed)
                fs::remove(videoTs / file);
        });
        std::string error;
        const std::unique_ptr<TDisc> opened = TDisc::Open(disc.string(), error);
        ASSERT_TRUE(opened) << error;
        const std::string listing = FormatDiscListing(opened->Label(), opened->Titles());
        EXPECT_NE(listing.find(listing_text::UnreadableTitle(2, c.reason) + "\n"), std::string::npos)
            << listing;
        EXPECT_NE(listing.find("Title 1: 0:00:14.000, 3 chapters"), std::string::npos) << listing;

        const std::string out = disc.string() + ".wav";
        CliOutcome outcome = Convert({"-q", "--title", "2", "-o", out, disc.string()});
        EXPECT_EQ(outcome.exitStatus, 1);
        EXPECT_EQ(outcome.err, Said(disc.string(), {msg::TitleUnreadable(2, c.reason)}));
        EXPECT_FALSE(Exists(out));
        outcome = Convert({"-q", "-o", out, disc.string()});
        EXPECT_EQ(outcome.exitStatus, c.defaultError.empty() ? 0 : 1) << outcome.err;
        EXPECT_EQ(outcome.err, c.defaultError.empty() ? "" : Said(disc.string(), {c.defaultError}));
        EXPECT_EQ(Exists(out), c.defaultError.empty());
        ASSERT_EQ(Convert({"-q", "-y", "--title", "1", "-o", out, disc.string()}).exitStatus, 0);
        EXPECT_EQ(Samples(out), title1);

        TDiscChoices choices;
        ASSERT_TRUE(ReadDiscChoices(disc.string(), choices, error)) << error;
        EXPECT_EQ(choices.titles.at(1).unreadable, c.reason);
        EXPECT_EQ(choices.titles.at(1).refusal, msg::TitleUnreadable(2, c.reason));
        EXPECT_EQ(choices.preferredTitle, 1);
    }
}

// An emptied or truncated VOB leaves its title as long as its IFO says when the longest is chosen: without a
// title given, the run refuses rather than convert a shorter one; chosen, the other title converts.
TEST(DiscConvert, AnEmptyOrTruncatedVobKeepsItsTitlesLengthAsARival) {
    REQUIRE_DISC_FIXTURES();
    const struct {
        const char* name;
        size_t keptBlocks;
        std::string refusal;
    } cases[] = {
        {"EMPTY_VOB", 0, msg::LongestTitleUnknown(1, msg::VobUnreadable(1))},
        {"ONE_BLOCK_VOB", 1, msg::LongestTitleCutShort(1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path disc = ChangedDisc(c.name, [&](const fs::path& videoTs) {
            const Bytes vob = ReadFile((videoTs / "VTS_01_1.VOB").string());
            WriteFile((videoTs / "VTS_01_1.VOB").string(),
                      Bytes(vob.begin(), vob.begin() + static_cast<long>(c.keptBlocks * kDiscBlockBytes)));
        });
        const std::string out = disc.string() + ".wav";
        CliOutcome outcome = Convert({"-q", "-o", out, disc.string()});
        EXPECT_EQ(outcome.exitStatus, 1);
        EXPECT_EQ(outcome.err, Said(disc.string(), {c.refusal}));
        EXPECT_FALSE(Exists(out));
        outcome = Convert({"-q", "--title", "2", "-o", out, disc.string()});
        EXPECT_EQ(outcome.exitStatus, 0) << outcome.err;
        EXPECT_TRUE(Exists(out));
    }
}

// A cell that reaches past the end of its VOBs is cut there, alike in a folder and in an image (where
// other files follow the VOB): the same note, and the title's audio as it is.
TEST(DiscConvert, CellsPastTheVobsEndAreCutAlikeInAFolderAndAnImage) {
    REQUIRE_DISC_FIXTURES();
    const fs::path disc = ChangedDisc("PAST_END", [](const fs::path& videoTs) {
        const uint32_t vobBlocks =
            static_cast<uint32_t>(FileSize((videoTs / "VTS_01_1.VOB").string()) / 2048);
        PatchTitleSet1(videoTs, [&](Bytes& ifo) {
            const size_t pgcit = Be32(ifo, 0xCC) * 2048, pgc = pgcit + Be32(ifo, pgcit + 12);
            const size_t lastCell = pgc + Be16(ifo, pgc + 0xE8) + (ifo.at(pgc + 3) - 1) * 24;
            for (int i = 0; i < 4; ++i)
                ifo.at(lastCell + 20 + i) = static_cast<uint8_t>((vobBlocks + 500) >> (24 - 8 * i));
        });
    });
    const std::string image = disc.string() + ".iso";
    ASSERT_EQ(std::system(("genisoimage -quiet -dvd-video -V PAST_END -o '" + image + "' '" + disc.string() +
                           "' 2>/dev/null")
                              .c_str()),
              0);
    const std::vector<int32_t> title1 = DecodeWithFfmpeg("-i '" + Vob(1) + "' -map 0:a:0");
    for (const std::string& path : {disc.string(), image}) {
        const CliOutcome outcome = Convert({"-q", "-y", "-o", path + ".wav", path});
        EXPECT_EQ(outcome.exitStatus, 0) << path;
        EXPECT_EQ(outcome.err, Said(path, {msg::CutAtVobEnd(1, 1, 1)}));
        EXPECT_EQ(Samples(path + ".wav"), title1) << path;
    }
}

// Chapters that would be empty (a program table naming a program again) are left out of the listing and
// of the files alike, and the conversion says so once.
TEST(DiscConvert, ChaptersThatWouldBeEmptyAreSaidOnceAndNeverWritten) {
    REQUIRE_DISC_FIXTURES();
    const fs::path disc = ChangedDisc("CYCLING", [](const fs::path& videoTs) {
        PatchTitleSet1(videoTs, [](Bytes& ifo) {
            const size_t ptt = Be32(ifo, 0xC8) * 2048, parts = ptt + Be32(ifo, ptt + 8);
            ifo.at(parts + 2 * 4 + 3) = 1; // chapter 3 plays program 1 again
        });
    });
    std::string error;
    const std::unique_ptr<TDisc> opened = TDisc::Open(disc.string(), error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(opened->Title(1)->chapters.size(), 2u);
    const std::string note = msg::EmptyChaptersDropped(1, 1);
    EXPECT_NE(FormatDiscListing("", opened->Titles()).find(listing_text::Note(note)), std::string::npos);

    const fs::path folder = disc.string() + "-chapters";
    fs::create_directories(folder);
    const CliOutcome outcome = Convert({"-q", "--chapters", "-o", folder.string(), disc.string()});
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_EQ(outcome.err, Said(disc.string(), {note}));
    std::vector<int32_t> joined;
    for (const char* chapter : {"c01", "c02"}) {
        const std::vector<int32_t> samples =
            Samples((folder / ("CYCLING-t01-" + std::string(chapter) + ".wav")).string());
        joined.insert(joined.end(), samples.begin(), samples.end());
    }
    EXPECT_FALSE(Exists((folder / "CYCLING-t01-c03.wav").string()));
    EXPECT_EQ(joined, DecodeWithFfmpeg("-i '" + Vob(1) + "' -map 0:a:0"));
}

// Whatever single read fails (a read of the program's files, of libraries, of the pipe from the disc
// reader's child), a run converts the right title exactly, or refuses with nothing written.
TEST(DiscConvert, AFailedReadNeverGivesOtherAudio) {
    REQUIRE_DISC_FIXTURES();
    if (!StraceWorks())
        GTEST_SKIP() << "strace cannot trace here";
#if defined(__SANITIZE_ADDRESS__)
    // LeakSanitizer's check at exit fails under ptrace, after the run has ended well.
    GTEST_SKIP() << "LeakSanitizer does not work under strace";
#endif
    const std::string work = DiscFixtures().work + "/eio";
    fs::create_directories(work);
    for (const std::string& disc : {DiscFixtures().discFolder, DiscFixtures().image}) {
        const std::string reference = work + "/reference.wav", out = work + "/out.wav";
        ASSERT_EQ(Convert({"-q", "-y", "-o", reference, disc}).exitStatus, 0);
        const Bytes expected = ReadFile(reference);
        int converted = 0, refused = 0;
        for (int when = 1; when <= 90; ++when) {
            SCOPED_TRACE(disc + ", EIO from read " + std::to_string(when));
            fs::remove(out);
            CliRun run;
            run.tracer = {"strace", "-f",         "-o", "/dev/null",
                          "-e",     "trace=read", "-e", "inject=read:error=EIO:when=" + std::to_string(when)};
            run.args = {"-q", "-y", "-o", out, disc};
            const CliOutcome outcome = RunCli(run);
            if (outcome.exitStatus == 0) {
                ++converted;
                EXPECT_TRUE(ReadFile(out) == expected);
                continue;
            }
            ++refused;
            EXPECT_FALSE(Exists(out));
            // The dynamic loader's own refusal when a library cannot be read is exit status 127.
            if (outcome.err.find("error while loading shared libraries") == std::string::npos) {
                EXPECT_EQ(outcome.exitStatus, 1) << outcome.err;
            }
        }
        EXPECT_GT(converted, 0);
        EXPECT_GT(refused, 0);
    }
}

} // namespace
