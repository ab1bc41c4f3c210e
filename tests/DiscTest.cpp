#include "disc/Disc.h"
#include "CliProcess.h"
#include "DiscFixtures.h"
#include "TestFiles.h"
#include "disc/DiscListing.h"
#include "disc/DiscTime.h"
#include "disc/Scrambling.h"
#include "disc/TitleLayout.h"
#include "texts/Messages.h"

#include <cstring>
#include <dlfcn.h>
#include <dvdread/dvd_reader.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace fs = std::filesystem;

namespace {

std::unique_ptr<TDisc> OpenOrFail(const std::string& path) {
    std::string error;
    std::unique_ptr<TDisc> disc = TDisc::Open(path, error);
    EXPECT_TRUE(disc) << path << ": " << error;
    return disc;
}

Bytes ReadAll(TStreamSource& source, int64_t chunk) {
    Bytes all, buffer(static_cast<size_t>(chunk));
    for (int64_t got; (got = source.Read(buffer.data(), chunk)) > 0;)
        all.insert(all.end(), buffer.begin(), buffer.begin() + got);
    return all;
}

// A pack header (no stuffing) and the start of a PES packet with the given id and first flag byte.
Bytes Pack(uint8_t streamId, uint8_t flags, uint8_t stuffing = 0) {
    Bytes pack = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, static_cast<uint8_t>(0xF8 | stuffing)};
    pack.insert(pack.end(), stuffing, 0xFF);
    pack.insert(pack.end(), {0, 0, 1, streamId, 0x07, 0xEC, flags, 0x81, 0x05});
    pack.resize(kDiscBlockBytes, 0);
    return pack;
}

} // namespace

TEST(DiscTime, PlaybackTimesInTicks) {
    struct Case {
        uint8_t h, m, s, f;
        int64_t ticks;
    } cases[] = {
        {0x00, 0x00, 0x05, 0x40, 5 * 90000},                         // 25 fps, no frames
        {0x01, 0x02, 0x03, 0x40 | 0x24, 3723 * 90000LL + 24 * 3600}, // 25 fps, frame 24
        {0x00, 0x01, 0x01, 0xC0 | 0x29, (61 * 30 + 29) * 3003LL},    // 29.97 fps: 30 frames a "second"
        {0x00, 0x00, 0x07, 0x00, 7 * 90000},                         // no rate bits, no frames
        {0x00, 0x00, 0x07, 0x05, -1},                                // no rate bits but frames
        {0x00, 0x0A, 0x00, 0x40, -1},                                // not BCD
        {0x00, 0x00, 0x00, 0x80 | 0x01, -1},                         // reserved rate
    };
    for (const Case& c : cases)
        EXPECT_EQ(PlaybackTicks(c.h, c.m, c.s, c.f), c.ticks)
            << int(c.h) << ":" << int(c.m) << ":" << int(c.s);
}

TEST(DiscTime, CutsFallOnTheNearestSampleGroup) {
    struct Case {
        int64_t ticks;
        int rate, perGroup;
        int64_t sample;
    } cases[] = {
        {5 * 90000, 48000, 2, 240000},
        {90000 + 3003, 48000, 1, 49602}, // 1.0333667 s -> 49601.6
        {15, 48000, 2, 8},
        {14, 48000, 2, 8}, // 7.47 samples -> group at 8
        {11, 96000, 2, 12},
        {3003, 44100, 1, 1471}, // 1471.47
    };
    for (const Case& c : cases)
        EXPECT_EQ(NearestGroupStart(c.ticks, c.rate, c.perGroup), c.sample) << c.ticks << " @ " << c.rate;
}

TEST(Scrambling, ScrambledMediaPacksAreFound) {
    EXPECT_TRUE(PackIsScrambled(Pack(0xE0, 0x90).data()));    // video, scrambling 01
    EXPECT_TRUE(PackIsScrambled(Pack(0xBD, 0xB0, 3).data())); // LPCM after stuffing, scrambling 11
    EXPECT_TRUE(PackIsScrambled(Pack(0xC0, 0xA4).data()));    // MPEG audio
    EXPECT_FALSE(PackIsScrambled(Pack(0xE0, 0x81).data()));   // clear video
    EXPECT_FALSE(PackIsScrambled(Pack(0xBF, 0xB0).data()));   // navigation: no PES flags
    EXPECT_FALSE(PackIsScrambled(Pack(0xBE, 0xFF).data()));   // padding
    Bytes notAPack = Pack(0xE0, 0x90);
    notAPack[3] = 0xBB;
    EXPECT_FALSE(PackIsScrambled(notAPack.data()));
}

TEST(TitleLayout, OtherAnglesTakeNoTimeAndNoBytes) {
    // Cells of 10 blocks each: A, an angle block of three (the first angle plays), B; chapters start at A, at
    // the angle block, on a later angle's cell (so at B), and at B.
    auto cell = [](uint32_t first, int seconds) {
        return TDiscCell{first, first + 9, seconds * kTicksPerSecond};
    };
    const std::vector<TChainCell> chain = {{cell(0, 10), true},
                                           {cell(10, 20), true},
                                           {cell(20, 20), false},
                                           {cell(30, 20), false},
                                           {cell(40, 5), true}};
    TDiscTitle title;
    LayOutTitle(chain, {0, 1, 3, 4}, title);
    ASSERT_EQ(title.cells.size(), 3u);
    EXPECT_EQ(title.cells[2].firstSector, 40u);
    EXPECT_EQ(title.durationTicks, 35 * kTicksPerSecond);
    EXPECT_EQ(title.Bytes(), 30 * kDiscBlockBytes);
    struct Expected {
        int firstCell, startSeconds, lengthSeconds, startBlock, blocks;
    } expected[] = {{0, 0, 10, 0, 10}, {1, 10, 20, 10, 10}, {2, 30, 0, 20, 0}, {2, 30, 5, 20, 10}};
    ASSERT_EQ(title.chapters.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TDiscChapter& c = title.chapters[i];
        const Expected& e = expected[i];
        EXPECT_EQ(std::make_tuple(c.number, c.firstCell, c.startTicks, c.lengthTicks, c.startByte, c.bytes),
                  std::make_tuple(int(i) + 1, e.firstCell, e.startSeconds * kTicksPerSecond,
                                  e.lengthSeconds * kTicksPerSecond, e.startBlock * kDiscBlockBytes,
                                  e.blocks * kDiscBlockBytes))
            << "chapter " << i + 1;
    }
}

// The start time a navigation pack gives its video object unit (PCI vobu_s_ptm), in 90 kHz ticks.
int64_t NavStartTicks(const Bytes& vob, int64_t offset) {
    EXPECT_EQ(vob[offset + 0x26 + 3], 0xBF) << "no navigation pack at " << offset;
    const size_t at = static_cast<size_t>(offset) + 0x2D + 0x0C;
    return int64_t{vob[at]} << 24 | vob[at + 1] << 16 | vob[at + 2] << 8 | vob[at + 3];
}

std::string VobPath(const std::string& disc, int titleSet, int part) {
    char name[32];
    std::snprintf(name, sizeof name, "VIDEO_TS/VTS_%02d_%d.VOB", titleSet, part);
    return (fs::path(disc) / name).string();
}

TEST(Disc, ReadsTitlesChaptersAndAudioAsAuthored) {
    REQUIRE_DISC_FIXTURES();
    std::unique_ptr<TDisc> disc = OpenOrFail(DiscFixtures().discFolder);
    ASSERT_TRUE(disc);
    ASSERT_EQ(disc->Titles().size(), 2u);
    EXPECT_EQ(disc->LongestTitle(), disc->Title(1));
    EXPECT_EQ(disc->Title(3), nullptr);

    struct Expected {
        int title;
        std::vector<int> chapterSeconds;
        int seconds;
    } expected[] = {{1, {0, 5, 12}, 14}, {2, {0, 2}, 6}};
    for (const Expected& e : expected) {
        const TDiscTitle& title = *disc->Title(e.title);
        const Bytes vob = ReadFile(VobPath(DiscFixtures().discFolder, title.titleSet, 1));
        EXPECT_NEAR(title.durationTicks, e.seconds * kTicksPerSecond, kTicksPerSecond / 10);
        ASSERT_EQ(title.chapters.size(), e.chapterSeconds.size());
        int64_t bytes = 0, ticks = 0;
        for (size_t c = 0; c < title.chapters.size(); ++c) {
            const TDiscChapter& chapter = title.chapters[c];
            // dvdauthor starts a chapter at the video object unit nearest the asked time; its navigation
            // pack's time stamp, counted from the title's first one, must be the chapter's start time.
            EXPECT_NEAR(chapter.startTicks, e.chapterSeconds[c] * kTicksPerSecond, kTicksPerSecond / 4);
            EXPECT_EQ(chapter.startTicks, NavStartTicks(vob, chapter.startByte) - NavStartTicks(vob, 0));
            EXPECT_EQ(chapter.startByte, bytes);
            EXPECT_EQ(chapter.startTicks, ticks);
            bytes += chapter.bytes;
            ticks += chapter.lengthTicks;
        }
        EXPECT_EQ(bytes, title.Bytes());
        EXPECT_EQ(ticks, title.durationTicks);
    }

    // Which id each stream has in the VOBs: title 2's LPCM stream is the disc's stream 2 but the first LPCM
    // stream in its VOBs.
    const TDiscTitle &one = *disc->Title(1), &two = *disc->Title(2);
    EXPECT_EQ(
        std::make_tuple(one.Audio(1)->subStreamId, one.Audio(2)->subStreamId, two.Audio(2)->subStreamId),
        std::make_tuple(0xA0, 0xA1, 0xA0));
    EXPECT_EQ(two.FirstLpcm(), two.Audio(2));

    const std::string listing = FormatDiscListing(disc->Label(), disc->Titles());
    for (const std::string line :
         {"Title 1: 0:00:14.000, 3 chapters\n", "  Chapter 3: start 0:00:12.000",
          "  Audio 1: LPCM 16 bit, 48000 Hz, 2 ch, en\n  Audio 2: LPCM 16 bit, 48000 Hz, 2 ch, de\nTitle 2",
          "  Audio 1: AC-3, 1 ch, not convertible\n  Audio 2: LPCM 24 bit, 96000 Hz, 1 ch\n"})
        EXPECT_NE(listing.find(line), std::string::npos) << line << "\nin:\n" << listing;
}

TEST(Disc, FolderVideoTsIfoFilesAndImageAreOneDisc) {
    REQUIRE_DISC_FIXTURES();
    const std::string folder = DiscFixtures().discFolder;
    std::unique_ptr<TDisc> reference = OpenOrFail(folder);
    ASSERT_TRUE(reference);
    const std::string listing = FormatDiscListing("", reference->Titles());
    struct Case {
        std::string path, label;
    } cases[] = {
        {folder + "/VIDEO_TS", kFolderLabel},
        {folder + "/VIDEO_TS/", kFolderLabel},
        {folder + "/VIDEO_TS/VIDEO_TS.IFO", kFolderLabel},
        {folder + "/VIDEO_TS/VTS_02_0.IFO", kFolderLabel},
        {DiscFixtures().image, kImageLabel},
    };
    EXPECT_EQ(reference->Label(), kFolderLabel);
    for (const Case& c : cases) {
        EXPECT_TRUE(LooksLikeDisc(c.path)) << c.path;
        std::unique_ptr<TDisc> disc = OpenOrFail(c.path);
        ASSERT_TRUE(disc);
        EXPECT_EQ(disc->Label(), c.label) << c.path;
        EXPECT_EQ(FormatDiscListing("", disc->Titles()), listing) << c.path;
    }
}

TEST(Disc, NoDiscIsSaidForEverythingElse) {
    REQUIRE_DISC_FIXTURES();
    TempDir dir;
    fs::create_directory(dir.Path("VIDEO_TS"));
    WriteFile(dir.Path("plain.iso"), Bytes(40000, 0));
    Bytes fakeIfo(2048, 0);
    std::memcpy(fakeIfo.data(), "DVDVIDEO-VTS", 12); // an IFO without the disc's VIDEO_TS.IFO beside it
    WriteFile(dir.Path("VTS_01_0.IFO"), fakeIfo);
    // An ISO 9660 image of a folder without VIDEO_TS.
    ASSERT_EQ(
        std::system(
            ("genisoimage -quiet -o '" + dir.Path("data.iso") + "' '" + dir.Path("VIDEO_TS") + "'").c_str()),
        0);
    const std::string cases[] = {dir.Path(""),          dir.Path("VIDEO_TS"),
                                 dir.Path("plain.iso"), dir.Path("VTS_01_0.IFO"),
                                 dir.Path("missing"),   VobPath(DiscFixtures().discFolder, 1, 1)};
    for (const std::string& path : cases) {
        EXPECT_FALSE(LooksLikeDisc(path)) << path;
        std::string error;
        EXPECT_FALSE(TDisc::Open(path, error)) << path;
        EXPECT_EQ(error, msg::kNoDisc) << path;
    }
}

// A copy of the fixture disc under `name` in the work folder.
fs::path CopyOfDisc(const std::string& name) {
    const fs::path copy = fs::path(DiscFixtures().work) / name;
    fs::copy(DiscFixtures().discFolder, copy, fs::copy_options::recursive);
    return copy;
}

// Marks the video and audio packs of title set 2 from `firstPack` on as CSS does: scrambling-control 01.
void Scramble(const fs::path& disc, size_t firstPack) {
    const std::string vobPath = VobPath(disc.string(), 2, 1);
    Bytes vob = ReadFile(vobPath);
    for (size_t pack = firstPack * kDiscBlockBytes; pack + kDiscBlockBytes <= vob.size();
         pack += kDiscBlockBytes) {
        uint8_t* pes = vob.data() + pack + 14 + (vob[pack + 13] & 7);
        if (pes[3] == 0xE0 || pes[3] == 0xBD)
            pes[6] |= 0x10;
    }
    WriteFile(vobPath, vob);
}

// An encrypted disc, or one whose VMG tables are blank, is refused; a missing title set spoils only its
// titles, which say why.
TEST(Disc, EncryptedAndBrokenDiscsAreRefused) {
    REQUIRE_DISC_FIXTURES();
    const fs::path scrambled = CopyOfDisc("SCRAMBLED");
    Scramble(scrambled, 0);
    const fs::path noVmg = CopyOfDisc("NO_VMG");
    Bytes blank(2048, 0);
    std::memcpy(blank.data(), "DVDVIDEO-VMG", 12);
    for (const char* name : {"VIDEO_TS/VIDEO_TS.IFO", "VIDEO_TS/VIDEO_TS.BUP"})
        WriteFile((noVmg / name).string(), blank);
    const std::pair<fs::path, const char*> cases[] = {{scrambled, msg::kDiscEncrypted},
                                                      {noVmg, msg::kDiscUnreadable}};
    for (const auto& [path, message] : cases) {
        std::string error;
        EXPECT_FALSE(TDisc::Open(path.string(), error));
        EXPECT_EQ(error, message) << path;
    }

    const fs::path broken = CopyOfDisc("BROKEN");
    fs::remove(broken / "VIDEO_TS/VTS_02_0.IFO");
    fs::remove(broken / "VIDEO_TS/VTS_02_0.BUP");
    std::unique_ptr<TDisc> disc = OpenOrFail(broken.string());
    ASSERT_TRUE(disc);
    EXPECT_EQ(disc->Title(2)->unreadable, msg::IfoMissing(2));
    EXPECT_TRUE(disc->Title(2)->cells.empty());
    EXPECT_EQ(disc->LongestTitle(), disc->Title(1));
    EXPECT_EQ(disc->UnreadableRival(disc->Title(1)), disc->Title(2)); // its length is unknown
}

TEST(TitleSource, StopsAtAScrambledPackMidTitle) {
    REQUIRE_DISC_FIXTURES();
    const fs::path disc = CopyOfDisc("SCRAMBLED_LATE");
    Scramble(disc, 600); // past what opening the disc looks at
    std::unique_ptr<TDisc> opened = OpenOrFail(disc.string());
    ASSERT_TRUE(opened);
    std::string error;
    std::unique_ptr<TTitleSource> source = opened->OpenTitle(*opened->Title(2), error);
    ASSERT_TRUE(source) << error;
    Bytes buffer(1 << 20);
    int64_t total = 0, got = 0;
    while ((got = source->Read(buffer.data(), static_cast<int64_t>(buffer.size()))) > 0)
        total += got;
    EXPECT_EQ(got, -1);
    EXPECT_LE(total, 600 * kDiscBlockBytes);
    EXPECT_EQ(source->Error(), msg::kDiscEncrypted);

    // The run says that cause alone, and keeps no output.
    const std::string output = (disc.parent_path() / "scrambled-late.wav").string();
    CliRun run;
    run.args = {"-q", "--title", "2", "-o", output, disc.string()};
    const CliOutcome outcome = RunCli(run);
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_EQ(outcome.err, Said(disc.string(), {msg::kDiscEncrypted}));
    EXPECT_FALSE(fs::exists(output));
}

TEST(TitleSource, DeliversTheCellsBytesAcrossVobFiles) {
    REQUIRE_DISC_FIXTURES();
    // A copy whose title VOB is cut into two files at a block boundary, as dvdauthor cuts at 1 GiB.
    const fs::path copy = CopyOfDisc("SPLIT");
    const Bytes whole = ReadFile(VobPath(copy.string(), 1, 1));
    const size_t cut = 777 * kDiscBlockBytes;
    WriteFile(VobPath(copy.string(), 1, 1), Bytes(whole.begin(), whole.begin() + cut));
    WriteFile(VobPath(copy.string(), 1, 2), Bytes(whole.begin() + cut, whole.end()));
    const std::string splitImage = copy.string() + ".iso";
    ASSERT_EQ(std::system(
                  ("genisoimage -quiet -dvd-video -o '" + splitImage + "' '" + copy.string() + "'").c_str()),
              0);

    for (const std::string& path :
         {DiscFixtures().discFolder, copy.string(), DiscFixtures().image, splitImage}) {
        std::unique_ptr<TDisc> disc = OpenOrFail(path);
        ASSERT_TRUE(disc);
        std::string error;
        // Chunks smaller than a block, not a multiple of one, and larger than one read of the disc.
        for (int64_t chunk : {1000, 5 * 2048 + 7, 3 << 20}) {
            std::unique_ptr<TTitleSource> source = disc->OpenTitle(*disc->Title(1), error);
            ASSERT_TRUE(source) << error;
            EXPECT_EQ(source->Size(), static_cast<int64_t>(whole.size()));
            EXPECT_TRUE(ReadAll(*source, chunk) == whole) << path << " in chunks of " << chunk;
            EXPECT_EQ(source->Error(), "");
        }
    }
}

// An image written to after the disc was opened gives the read-failed message, never other audio: its
// title VOB overwritten or cut short before the title is opened, or cut short while it is read.
TEST(TitleSource, AnImageChangedAfterOpeningGivesNoOtherAudio) {
    REQUIRE_DISC_FIXTURES();
    const Bytes image = ReadFile(DiscFixtures().image),
                vob = ReadFile(VobPath(DiscFixtures().discFolder, 1, 1));
    size_t at = 0;
    while (at + vob.size() <= image.size() && !std::equal(vob.begin(), vob.end(), image.begin() + at))
        at += kDiscBlockBytes;
    ASSERT_LE(at + vob.size(), image.size());
    const std::string copy = DiscFixtures().work + "/changed.iso";
    const auto cutInHalf = [&] { fs::resize_file(copy, at + vob.size() / 2); };
    const auto zeroed = [&] {
        Bytes changed = image;
        std::fill_n(changed.begin() + static_cast<ptrdiff_t>(at), vob.size(), 0);
        WriteFile(copy, changed);
    };
    const std::tuple<const char*, std::function<void()>, bool> cases[] = {
        {"VOB zeroed", zeroed, false},
        {"cut in the VOB", cutInHalf, false},
        {"cut while read", cutInHalf, true}};
    for (const auto& [name, change, whileRead] : cases) {
        SCOPED_TRACE(name);
        fs::copy_file(DiscFixtures().image, copy, fs::copy_options::overwrite_existing);
        std::unique_ptr<TDisc> disc = OpenOrFail(copy);
        ASSERT_TRUE(disc);
        std::string error;
        if (!whileRead)
            change();
        std::unique_ptr<TTitleSource> source = disc->OpenTitle(*disc->Title(1), error);
        if (!whileRead) {
            EXPECT_FALSE(source);
            EXPECT_EQ(error, msg::kDiscReadFailed);
            continue;
        }
        ASSERT_TRUE(source) << error;
        change();
        const Bytes read = ReadAll(*source, 1 << 20);
        ASSERT_LE(read.size(), vob.size() / 2);
        EXPECT_TRUE(std::equal(read.begin(), read.end(), vob.begin()));
        EXPECT_EQ(source->Error(), msg::kDiscReadFailed);
    }
}

TEST(DvdReader, NeverLoadsADecryptionLibrary) {
    // libdvdread asks for libdvdcss by name on every open; a real library under that name must not load,
    // while the same library under another name still does.
    Dl_info self{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&DVDOpen2), &self), 0);
    TempDir dir;
    fs::copy_file(self.dli_fname, dir.Path("libdvdcss.so.2"));
    fs::copy_file(self.dli_fname, dir.Path("libsomething.so.2"));
    EXPECT_EQ(dlopen(dir.Path("libdvdcss.so.2").c_str(), RTLD_LAZY), nullptr);
    void* other = dlopen(dir.Path("libsomething.so.2").c_str(), RTLD_LAZY);
    EXPECT_NE(other, nullptr);
    if (other != nullptr)
        dlclose(other);
}
