#include "CommandLine.h"
#include "run/NameProposal.h"
#include "run/RateText.h"
#include "texts/JsonText.h"
#include "texts/ListingTexts.h"
#include "texts/Messages.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

TEST(NameProposal, ReplacesTheExtensionOrAddsNew) {
    EXPECT_EQ(ProposeOutputName("take1.raw"), "take1.wav");
    EXPECT_EQ(ProposeOutputName("take1.pcm"), "take1.wav");
    EXPECT_EQ(ProposeOutputName("take1.wav"), "take1_new.wav");
    EXPECT_EQ(ProposeOutputName("a.b.wav"), "a.b_new.wav");
    EXPECT_EQ(ProposeOutputName("A.WAV"), "A_new.wav");
    EXPECT_EQ(ProposeOutputName("take1"), "take1.wav");
    EXPECT_EQ(ProposeOutputName(""), ".wav");
}

TEST(NameProposal, ADotInTheDirectoryIsNoExtension) {
    EXPECT_EQ(ProposeOutputName("C:\\my.dir\\take1"), "C:\\my.dir\\take1.wav");
    EXPECT_EQ(ProposeOutputName("/home/me/my.dir/take1"), "/home/me/my.dir/take1.wav");
    EXPECT_EQ(ProposeOutputName("c:.hidden:x"), "c:.hidden:x.wav");
    EXPECT_EQ(ProposeOutputName("/music/my.dir/take1.WaV"), "/music/my.dir/take1_new.wav");
    EXPECT_EQ(FileExtension("/music/my.dir/take1"), "");
    EXPECT_EQ(FileExtension("take.1.Raw"), ".Raw");
}

TEST(RateText, DecimalAndHexadecimalNumbers) {
    EXPECT_EQ(ParseRateText("48000"), 48000);
    EXPECT_EQ(ParseRateText("44100"), 44100);
    EXPECT_EQ(ParseRateText("  96000"), 96000);
    EXPECT_EQ(ParseRateText("+7"), 7);
    EXPECT_EQ(ParseRateText("-1"), -1);
    EXPECT_EQ(ParseRateText("0"), 0);
    EXPECT_EQ(ParseRateText("$BB80"), 48000);
    EXPECT_EQ(ParseRateText("$bb80"), 48000);
    EXPECT_EQ(ParseRateText("xBB80"), 48000);
    EXPECT_EQ(ParseRateText("XBB80"), 48000);
    EXPECT_EQ(ParseRateText("0xBB80"), 48000);
    EXPECT_EQ(ParseRateText("0XBB80"), 48000);
    EXPECT_EQ(ParseRateText("-$10"), -16);
    EXPECT_EQ(ParseRateText("2147483647"), 2147483647);
    EXPECT_EQ(ParseRateText("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseRateText("$FFFFFFFF"), -1);
    EXPECT_EQ(ParseRateText("$80000000"), INT32_MIN);
    EXPECT_EQ(ParseRateText("0010"), 10);
}

TEST(RateText, InvalidTexts) {
    for (const char* text : {"", " ", "abc", "48000 ", "48000x", "+", "-", "$", "0x", "x", "2147483648",
                             "-2147483649", "$100000000", "4 8000", "\t48000", "48.000", "$G", "--1", "0x-1"})
        EXPECT_FALSE(ParseRateText(text).has_value()) << '"' << text << '"';
}

// What the options set, in short: the flags given, the numbers, the output and the inputs. Their usage
// errors are checked through the program, with its exit status.
TEST(CommandLine, OptionsAndTheirValues) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"x.raw"}, "00000 0 0 0-0 > x.raw"},
        {{"-r", "48000", "--rf64", "-b", "16", "--dither", "x.raw"}, "11001 0 0 0-0 > x.raw"},
        {{"--list", "a.vob", "b.raw"}, "00100 0 0 0-0 > a.vob b.raw"},
        {{"--title", "2", "--track", "12", "disc", "--chapters"}, "00010 12 2 0-0 > disc"},
        {{"--chapters", "3-17", "disc"}, "00010 0 0 3-17 > disc"},
        {{"--chapters", "4", "-o", "songs", "disc"}, "00010 0 0 4-4 songs> disc"},
        // Open ranges; a name that is no range stays an input, and "--" makes any name one.
        {{"--chapters", "4-", "--", "7"}, "00010 0 0 4-0 > 7"},
        {{"--chapters", "-2", "disc", "--chapters", "4-x"}, "00010 0 0 0-2 > disc 4-x"},
        // Every option's value may be joined to it by '='.
        {{"--chapters=2-3", "--title=4", "--track=5", "-ox", "d"}, "00010 5 4 2-3 x> d"},
        {{"--chapters=7-", "--lpcm-packing=quads", "d"}, "00010 0 0 7-0 > d q"},
        {{"--flac", "--flac-level=8", "--tag=A=b=c", "--tag", "B=", "x.raw"},
         "00000 0 0 0-0 > x.raw flac8 A=b=c B="},
        // The format by name, or by the output's ending; a tag for any format.
        {{"--format", "wav", "--tag", "ARTIST=Band", "x.raw"}, "00000 0 0 0-0 > x.raw wav-1 ARTIST=Band"},
        {{"-o", "y.FLAC", "x.raw"}, "00000 0 0 0-0 y.FLAC> x.raw flac-1"},
    };
    for (const auto& [args, expected] : cases) {
        ConvertOptions o;
        std::string error;
        ASSERT_TRUE(ParseCommandLine(args, o, error)) << expected << ": " << error;
        std::string got = std::to_string(o.rf64) + std::to_string(o.dither) + std::to_string(o.list) +
                          std::to_string(o.selection.chapters) + std::to_string(o.rateGiven) + ' ' +
                          std::to_string(o.selection.track) + ' ' + std::to_string(o.selection.title) + ' ' +
                          std::to_string(o.selection.firstChapter) + '-' +
                          std::to_string(o.selection.lastChapter) + ' ' + o.output + '>';
        for (const std::string& input : o.inputs)
            got += ' ' + input;
        if (o.lpcmPacking == TLpcmPackingChoice::Quads)
            got += " q";
        if (o.format)
            got += ' ' + std::string(o.format->id) + std::to_string(o.flacLevel);
        for (const auto& [name, value] : o.tags)
            got += ' ' + name + '=' + value;
        EXPECT_EQ(got, expected);
    }
}

// Counts in the singular for one; lengths to the millisecond and nothing under one; a chapter range
// refused by what the title has and which of the range it lacks.
TEST(Texts, CountsLengthsAndChapterRefusals) {
    const std::pair<std::string, std::string> cases[] = {
        {listing_text::Title(1, "0:01:00.000", 1), "Title 1: 0:01:00.000, 1 chapter"},
        {listing_text::Title(2, "0:01:00.000", 5), "Title 2: 0:01:00.000, 5 chapters"},
        {listing_text::RawInput(1), "raw 20-bit LPCM (big-endian), 1 group of 4 samples"},
        {listing_text::RawInput(2), "raw 20-bit LPCM (big-endian), 2 groups of 4 samples"},
        {msg::ChapterAudioLength(2, -0.52), "Chapter 2: its audio is 0.52 s shorter than its video."},
        {msg::ChapterAudioLength(3, 0.0017), "Chapter 3: its audio is 0.002 s longer than its video."},
        {msg::ChapterAudioLength(1, -1.0004), "Chapter 1: its audio is 1 s shorter than its video."},
        {msg::ChapterAudioLength(4, 0.0004), ""},
        {msg::ChapterAudioLength(4, -0.0004), ""},
        {msg::NoSuchChapters(9, 9, 1, 5), "Title 1 has 5 chapters; there is no chapter 9."},
        {msg::NoSuchChapters(7, 9, 1, 5), "Title 1 has 5 chapters; there are no chapters 7-9."},
        {msg::NoSuchChapters(3, 9, 1, 5), "Title 1 has 5 chapters; there are no chapters 6-9."},
        // "--chapters 7-": the last defaulted to the title's last.
        {msg::NoSuchChapters(7, 1, 2, 1), "Title 2 has 1 chapter; there is no chapter 7."},
        {msg::NoSuchChapters(1, 1, 3, 0), "Title 3 has no chapters; there is no chapter 1."},
        {msg::NoSuchFolder("nofolder/", false),
         "The chapter files go into a folder, and \"nofolder/\" does not exist."},
        {msg::NoSuchFolder("take.wav", true),
         "The chapter files go into a folder, and \"take.wav\" is no folder."},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(text, expected);
}

} // namespace

// A string of any bytes makes valid JSON: well-formed UTF-8 is copied, and each byte of a sequence that is
// not (truncated, overlong, a surrogate, beyond U+10FFFF, a stray continuation) becomes its Latin-1 escape.
TEST(Texts, JsonStringsOfAnyBytes) {
    using json_text::String;
    const std::pair<std::string, std::string> cases[] = {
        {String("a\"b\\c/"), R"("a\"b\\c/")"},
        {String("\t\n\x1b\x7f"), "\"\\u0009\\u000a\\u001b\x7f\""},
        {String(std::string("a\0b", 3)), R"("a\u0000b")"},
        {String("K\xc3\x9cnstler \xe2\x82\xac \xf0\x9f\x8e\xb5"),
         "\"K\xc3\x9cnstler \xe2\x82\xac \xf0\x9f\x8e\xb5\""},
        {String("Caf\xe9"), R"("Caf\u00e9")"},
        {String("\xe2\x82"), R"("\u00e2\u0082")"},
        {String("\xc0\xaf"), R"("\u00c0\u00af")"},
        {String("\xe0\x80\xaf"), R"("\u00e0\u0080\u00af")"},
        {String("\xed\xa0\x80"), R"("\u00ed\u00a0\u0080")"},
        {String("\xf4\x90\x80\x80"), R"("\u00f4\u0090\u0080\u0080")"},
        {String("\x80x"), R"("\u0080x")"},
        {json_text::TObject().Text("k", "v").Number("n", -3).Flag("f", false).Done(),
         R"({"k":"v","n":-3,"f":false})"},
        {json_text::Seconds(252480) + " " + json_text::Seconds(5), "252.480 0.005"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(text, expected);
}
