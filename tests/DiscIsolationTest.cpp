#include "DiscFixtures.h"
#include "TestFiles.h"
#include "disc/Disc.h"
#include "disc/DiscListing.h"
#include "disc/InfoImage.h"
#include "disc/IsolatedCall.h"
#include "disc/TitleWire.h"
#include "run/InputKind.h"
#include "texts/Messages.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dvdread/dvd_reader.h>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST(IsolatedCall, AChildThatFailsInAnyWayGivesNoReply) {
    const TIsolationLimits tight{1, 256LL << 20, 1000};
    EXPECT_EQ(CallIsolated([] { return std::string("reply"); }, tight), "reply");
    const std::pair<const char*, std::function<std::string()>> failures[] = {
        {"crash",
         [] {
             std::raise(SIGSEGV);
             return std::string();
         }},
        {"abort",
         [] {
             std::abort();
             return std::string();
         }},
        {"exit 1",
         [] {
             _exit(1);
             return std::string();
         }},
        {"too slow",
         [] {
             std::this_thread::sleep_for(std::chrono::seconds(5));
             return std::string();
         }},
        {"too long a reply", [] { return std::string(1001, 'x'); }},
        {"too much memory", [] { return std::string(size_t{1} << 30, 'x').substr(0, 1); }},
    };
    for (const auto& [name, work] : failures) {
        if (kSanitized && std::string(name) == "too much memory")
            continue; // sanitizer builds run the child without the address-space limit
        EXPECT_EQ(CallIsolated(work, tight), std::nullopt) << name;
    }
}

// The children under one budget share its deadline, inner budgets included: once a child has spent it,
// none starts; a budget opened afterwards has its own.
TEST(IsolatedCall, ChildrenUnderOneBudgetShareItsDeadline) {
    const auto quick = [] { return std::string("reply"); };
    const auto hangs = [] {
        std::this_thread::sleep_for(std::chrono::seconds(30));
        return std::string();
    };
    {
        const TIsolationBudget budget(std::chrono::milliseconds(500));
        EXPECT_EQ(CallIsolated(quick), "reply");
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(CallIsolated(hangs), std::nullopt);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        const TIsolationBudget inner(std::chrono::seconds(30));
        EXPECT_EQ(CallIsolated(quick), std::nullopt);
    }
    const TIsolationBudget next(std::chrono::seconds(30));
    EXPECT_EQ(CallIsolated(quick), "reply");
}

TRawDisc SmallDisc() {
    TRawDisc disc;
    disc.label = "LABEL";
    TRawTitle title;
    title.titleSet = 1;
    title.vobBlocks = 100;
    title.chain = {{{0, 49, 90000}, true}, {{50, 99, 90000}, true}};
    title.chapterFirstCells = {0, 1};
    title.audio = {{1, TAudioCodec::Lpcm, 16, 48000, 2, "en", 0xA0}};
    disc.titles = {title};
    return disc;
}

TEST(TitleWire, OnlyADiscWhoseNumbersAllFitIsTaken) {
    const std::optional<TRawDisc> back = DecodeDisc(EncodeDisc(SmallDisc()), 100);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->label, "LABEL");
    ASSERT_EQ(back->titles.size(), 1u);
    EXPECT_EQ(back->titles[0].chain[1].cell.lastSector, 99u);
    EXPECT_EQ(back->titles[0].audio[0].language, "en");

    const std::pair<const char*, std::function<void(TRawDisc&)>> damages[] = {
        {"cell backwards", [](TRawDisc& d) { d.titles[0].chain[0].cell.firstSector = 60; }},
        {"VOBs past the image", [](TRawDisc& d) { d.titles[0].vobBlocks = 101; }},
        {"VOBs from a sector that leaves too few", [](TRawDisc& d) { d.titles[0].vobSector = 1; }},
        {"VOBs from the last sector there is", [](TRawDisc& d) { d.titles[0].vobSector = 0xFFFFFFFF; }},
        {"chapter without a cell", [](TRawDisc& d) { d.titles[0].chapterFirstCells[1] = 2; }},
        {"title set 0", [](TRawDisc& d) { d.titles[0].titleSet = 0; }},
        {"rate", [](TRawDisc& d) { d.titles[0].audio[0].rate = 22050; }},
        {"bits", [](TRawDisc& d) { d.titles[0].audio[0].bits = 18; }},
        {"channels", [](TRawDisc& d) { d.titles[0].audio[0].channels = 9; }},
        {"100 titles", [](TRawDisc& d) { d.titles.resize(100, d.titles[0]); }},
        {"fault", [](TRawDisc& d) { d.titles[0].fault = TTitleFault::EmptyCells; }},
        {"ten VOB files", [](TRawDisc& d) { d.titles[0].vobParts = 10; }},
    };
    for (const auto& [name, damage] : damages) {
        TRawDisc disc = SmallDisc();
        damage(disc);
        EXPECT_EQ(DecodeDisc(EncodeDisc(disc), 100), std::nullopt) << name;
    }
    const std::string good = EncodeDisc(SmallDisc());
    for (const std::string& cut :
         {good.substr(0, good.size() - 1), good.substr(0, 8), good + "x", std::string()})
        EXPECT_EQ(DecodeDisc(cut, 100), std::nullopt) << cut.size();
}

// IFO fields are big-endian.
uint32_t Be32(const Bytes& bytes, size_t at) {
    return uint32_t{bytes.at(at)} << 24 | uint32_t{bytes.at(at + 1)} << 16 | uint32_t{bytes.at(at + 2)} << 8 |
           bytes.at(at + 3);
}
uint16_t Be16(const Bytes& bytes, size_t at) {
    return static_cast<uint16_t>(bytes.at(at) << 8 | bytes.at(at + 1));
}
void PutU32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<uint8_t>(value >> (24 - 8 * i));
}
void PutU16(Bytes& bytes, size_t at, uint16_t value) {
    bytes.at(at) = static_cast<uint8_t>(value >> 8);
    bytes.at(at + 1) = static_cast<uint8_t>(value);
}

// Damages of one IFO field each (the BUP intact) that crash libdvdread 6.1.
TEST(DiscIsolation, DamagedIfoFilesGiveTheDiscOrARefusalNeverACrash) {
    REQUIRE_DISC_FIXTURES();
    std::string error;
    const std::unique_ptr<TDisc> intact = TDisc::Open(DiscFixtures().discFolder, error);
    ASSERT_TRUE(intact) << error;
    const std::pair<const char*, std::function<void(Bytes & vmg, Bytes & vts)>> damages[] = {
        {"VIDEO_TS.IFO cut to 2048 bytes", [](Bytes& vmg, Bytes&) { vmg.resize(2048); }},
        {"TT_SRPT last byte 0xFFFFFFFF",
         [](Bytes& vmg, Bytes&) { PutU32(vmg, Be32(vmg, 0xC4) * 2048 + 4, 0xFFFFFFFF); }},
        {"first-play pre commands 999",
         [](Bytes& vmg, Bytes&) {
             const size_t pgc = Be32(vmg, 0x84);
             PutU16(vmg, pgc + Be16(vmg, pgc + 0xE4), 999);
         }},
        {"VTS PGCIT count 0x7F", [](Bytes&, Bytes& vts) { PutU16(vts, Be32(vts, 0xCC) * 2048, 0x7F); }},
    };
    int index = 0;
    for (const auto& [name, damage] : damages) {
        const fs::path copy = fs::path(DiscFixtures().work) / ("DAMAGED_IFO_" + std::to_string(index++));
        fs::copy(DiscFixtures().discFolder, copy, fs::copy_options::recursive);
        const std::string vmgPath = (copy / "VIDEO_TS/VIDEO_TS.IFO").string();
        const std::string vtsPath = (copy / "VIDEO_TS/VTS_01_0.IFO").string();
        Bytes vmg = ReadFile(vmgPath), vts = ReadFile(vtsPath);
        damage(vmg, vts);
        WriteFile(vmgPath, vmg);
        WriteFile(vtsPath, vts);
        const std::unique_ptr<TDisc> disc = TDisc::Open(copy.string(), error);
        if (!disc) {
            EXPECT_EQ(error, msg::kDiscUnreadable) << name;
            continue;
        }
        // The BUP may be read instead: then the titles are the intact ones, or unreadable where the two
        // files disagree.
        ASSERT_EQ(disc->Titles().size(), intact->Titles().size()) << name;
        for (size_t t = 0; t < disc->Titles().size(); ++t) {
            const TDiscTitle& title = disc->Titles()[t];
            if (!title.unreadable.empty()) {
                EXPECT_EQ(title.unreadable, msg::IfoUnreadable(title.titleSet)) << name;
                continue;
            }
            EXPECT_EQ(title.durationTicks, intact->Titles()[t].durationTicks) << name;
            EXPECT_EQ(title.cells.size(), intact->Titles()[t].cells.size()) << name;
        }
    }
}

// Every file of an image made in memory reads back whole through libdvdread, its folder spanning blocks.
TEST(InfoImage, EveryFileReadsBackThroughLibdvdread) {
    std::map<std::string, std::string> files;
    for (int set = 0; set <= 99; ++set) {
        char name[16];
        std::snprintf(name, sizeof name, set == 0 ? "VIDEO_TS.IFO" : "VTS_%02d_0.IFO", set);
        std::string bytes(static_cast<size_t>(set % 3 + 1) * kDiscBlockBytes, '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 31 + set);
        files[name] = bytes;
    }
    const TDvdReader reader = OpenInfoImage(BuildInfoImage(files));
    ASSERT_TRUE(reader);
    for (int set = 0; set <= 99; ++set) {
        const std::string& expected = files[set == 0 ? "VIDEO_TS.IFO" : msg::TitleSetFile(set, "0.IFO")];
        dvd_file_t* file = DVDOpenFile(reader.get(), set, DVD_READ_INFO_FILE);
        ASSERT_NE(file, nullptr) << set;
        std::string back(expected.size(), '\0');
        EXPECT_EQ(DVDFileSize(file) * kDiscBlockBytes, static_cast<ssize_t>(expected.size())) << set;
        EXPECT_EQ(DVDReadBytes(file, back.data(), back.size()), static_cast<ssize_t>(back.size())) << set;
        EXPECT_EQ(back, expected) << set;
        DVDCloseFile(file);
    }
    EXPECT_EQ(DVDOpenFile(reader.get(), 1, DVD_READ_INFO_BACKUP_FILE), nullptr);
}

// The child writes no file: a temporary folder that cannot be written to (TMPDIR=/proc) is no fault of the
// disc, which opens as it does otherwise.
TEST(DiscIsolation, TheChildNeedsNoTemporaryFolder) {
    REQUIRE_DISC_FIXTURES();
    for (const std::string& path : {DiscFixtures().discFolder, DiscFixtures().image}) {
        std::string error;
        const std::unique_ptr<TDisc> usual = TDisc::Open(path, error);
        ASSERT_TRUE(usual) << error;
        const char* before = std::getenv("TMPDIR");
        const std::string saved = before != nullptr ? before : "";
        ::setenv("TMPDIR", "/proc", 1);
        const std::unique_ptr<TDisc> disc = TDisc::Open(path, error);
        if (before != nullptr)
            ::setenv("TMPDIR", saved.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        ASSERT_TRUE(disc) << path << ": " << error;
        EXPECT_EQ(FormatDiscListing(disc->Label(), disc->Titles()),
                  FormatDiscListing(usual->Label(), usual->Titles()));
    }
}

// Cells past the end of the VOBs are cut there (their time in proportion) or left out, and the title notes
// it; a title whose cells are all empty, as a table from a failed read, is unreadable.
TEST(TitleWire, CellsPastTheVobsAreCutAndATitleOfEmptyCellsIsUnreadable) {
    const std::string cut = msg::CutAtVobEnd(1, 1, 1);
    struct Case {
        const char* name;
        std::vector<TChainCell> chain;
        int64_t ticks;
        size_t cells;
        std::string unreadable;
        std::vector<std::string> notes;
    } cases[] = {
        {"inside", {{{0, 49, 90000}, true}, {{50, 99, 90000}, true}}, 180000, 2, "", {}},
        {"last cell cut", {{{0, 49, 90000}, true}, {{50, 149, 90000}, true}}, 135000, 2, "", {cut}},
        // Chapter 2 began on the cell left out.
        {"last cell past the end",
         {{{0, 49, 90000}, true}, {{100, 149, 90000}, true}},
         90000,
         1,
         "",
         {cut, msg::EmptyChaptersDropped(1, 1)}},
        {"empty cells", {{{0, 0, 0}, true}, {{0, 0, 0}, true}}, -1, 0, msg::OnlyEmptyCells(1), {}},
    };
    for (const Case& c : cases) {
        TRawDisc disc = SmallDisc();
        disc.titles[0].chain = c.chain;
        const std::optional<TRawDisc> back = DecodeDisc(EncodeDisc(disc), 100);
        ASSERT_TRUE(back) << c.name;
        const std::vector<TDiscTitle> titles = LayOutTitles(back->titles);
        EXPECT_EQ(titles[0].durationTicks, c.ticks) << c.name;
        EXPECT_EQ(titles[0].cells.size(), c.cells) << c.name;
        EXPECT_EQ(titles[0].unreadable, c.unreadable) << c.name;
        EXPECT_EQ(titles[0].notes, c.notes) << c.name;
        for (const TDiscCell& cell : titles[0].cells)
            EXPECT_LE(cell.lastSector, 99u) << c.name;
    }
}

// A cell of 99:59:59 cut at the end of a huge (sparse) VOB keeps the time of its part exactly, where the
// product of time and blocks would not fit in 64 bits; a title whose IFO adds up to 100 hours or more is
// unreadable, and so is its length.
TEST(TitleWire, CellTimesNeverOverflowAndImpossibleTitlesAreUnreadable) {
    const int64_t longest = ((99 * 60 + 59) * 60 + 59) * kTicksPerSecond; // 99:59:59
    // A cell from block 50 claiming twice the blocks from there to 2^31, the last block libdvdread reads.
    const int64_t part = (int64_t{1} << 31) - 50;
    const TChainCell huge = {{50, static_cast<uint32_t>(50 + 2 * part - 1), longest}, true};
    struct Case {
        const char* name;
        int64_t vobBlocks;
        std::vector<TChainCell> chain;
        int64_t ticks, ifoTicks;
        std::string unreadable;
    } cases[] = {
        {"a huge cell cut in half",
         int64_t{1} << 31,
         {{{0, 49, 45000}, true}, huge},
         45000 + longest / 2,
         45000 + longest,
         ""},
        {"blocks past what can be read",
         int64_t{1} << 32,
         {{{0, 49, 45000}, true}, huge},
         45000 + longest / 2,
         45000 + longest,
         ""},
        {"100 hours",
         100,
         {{{0, 49, 90000}, true}, {{50, 99, longest}, true}},
         -1,
         -1,
         msg::ImpossiblePlayingTime(1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRawDisc disc = SmallDisc();
        disc.titles[0].vobBlocks = c.vobBlocks;
        disc.titles[0].chain = c.chain;
        const std::optional<TRawDisc> back = DecodeDisc(EncodeDisc(disc), -1);
        ASSERT_TRUE(back);
        const std::vector<TDiscTitle> titles = LayOutTitles(back->titles);
        EXPECT_EQ(titles[0].durationTicks, c.ticks);
        EXPECT_EQ(titles[0].ifoTicks, c.ifoTicks);
        EXPECT_EQ(titles[0].unreadable, c.unreadable);
        const std::string listing = FormatDiscListing("L", titles);
        EXPECT_EQ(listing.find(":-"), std::string::npos) << listing;
    }
}

TEST(TitleWire, ChaptersThatWouldBeEmptyAreDroppedAndReservedLpcmIsNamed) {
    TRawDisc disc = SmallDisc();
    disc.titles[0].chain.push_back({{100, 149, 90000}, true});
    disc.titles[0].vobBlocks = 150;
    // Programs 1, 2, 3, 1, 2, 3, 2: chapters 4 to 7 would start where earlier ones did.
    disc.titles[0].chapterFirstCells = {0, 1, 2, 0, 1, 2, 1};
    disc.titles[0].audio[0].bits = 0;
    const std::vector<TDiscTitle> titles = LayOutTitles(disc.titles);
    ASSERT_EQ(titles[0].chapters.size(), 3u);
    for (const TDiscChapter& chapter : titles[0].chapters) {
        EXPECT_EQ(chapter.lengthTicks, 90000) << chapter.number;
        EXPECT_EQ(chapter.bytes, 50 * kDiscBlockBytes) << chapter.number;
    }
    EXPECT_EQ(titles[0].chapters[2].number, 3);
    EXPECT_EQ(titles[0].notes, std::vector<std::string>{msg::EmptyChaptersDropped(1, 4)});
    EXPECT_NE(
        FormatDiscListing("L", titles).find("Audio 1: LPCM, reserved format (not convertible), 48000 Hz"),
        std::string::npos);
}

// The stream whose chapters were found was read: its pre-emphasis is listed, on its line only.
TEST(TitleWire, TheListingSaysPreEmphasisOfTheStreamRead) {
    TRawDisc disc = SmallDisc();
    disc.titles[0].audio.push_back({2, TAudioCodec::Lpcm, 16, 48000, 2, "de", 0xA1});
    const std::vector<TDiscTitle> titles = LayOutTitles(disc.titles);
    for (const bool emphasis : {false, true}) {
        const std::string listing =
            FormatDiscListing("L", titles, {{1, TChapterAudio{48000, {0, 48000}, 96000, emphasis}}});
        EXPECT_EQ(listing.find("Audio 1: LPCM 16 bit, 48000 Hz, 2 ch, en, pre-emphasis\n") !=
                      std::string::npos,
                  emphasis)
            << listing;
        EXPECT_EQ(listing.find("pre-emphasis"), listing.rfind("pre-emphasis"));
    }
}

// A name that promises a disc or a stream is held to it; every other name may be raw audio.
TEST(InputKind, NamesThatPromiseADiscOrStreamAreHeldToIt) {
    REQUIRE_DISC_FIXTURES();
    TempDir dir;
    const Bytes noise = RandomGroups(10'000);
    Bytes isoOnly = noise;
    isoOnly.resize(40 * 2048, 0);
    std::memcpy(isoOnly.data() + 16 * 2048 + 1, "CD001", 5);
    // The kind by its id; "" for a refused input.
    const std::tuple<std::string, Bytes, std::string, const char*> cases[] = {
        {"a.iso", noise, "", msg::kNoDiscImage},
        {"empty.ISO", {}, "", msg::kNoDiscImage},
        {"a.vob", noise, "", msg::kNoProgramStream},
        {"a.mpg", noise, "", msg::kNoProgramStream},
        {"a.ifo", noise, "", msg::kNoIfoFile},
        {"a.raw", noise, "raw", ""},
        {"a.pcm", noise, "raw", ""},
        {"a.dat", noise, "raw", ""},
        {"plain.iso", isoOnly, "dvd-video", msg::kImageWithoutUdf},
    };
    for (const auto& [name, content, kind, message] : cases) {
        WriteFile(dir.Path(name), content);
        std::string refusal;
        const TInputKindRow* found = ClassifyInput(dir.Path(name), &refusal);
        EXPECT_EQ(found ? found->id : "", kind) << name;
        if (kind.empty()) {
            EXPECT_EQ(refusal, message) << name;
        }
        if (kind == "dvd-video") {
            EXPECT_FALSE(TDisc::Open(dir.Path(name), refusal)) << name;
            EXPECT_EQ(refusal, message) << name;
        }
    }
}

} // namespace
