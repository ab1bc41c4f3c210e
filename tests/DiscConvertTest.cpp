// oxlip-convert on real discs and program streams made by FFmpeg, dvdauthor and genisoimage, with FFmpeg
// decoding the same VOB files as the independent reference.
#include "CliProcess.h"
#include "DiscFixtures.h"
#include "TestFiles.h"

#include "disc/DiscContent.h"
#include "texts/Messages.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <fstream>

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
    EXPECT_EQ(tags(work + "/de.flac"), encoder);
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

} // namespace
