#include "CommandLine.h"
#include "engine/NameProposal.h"
#include "engine/RateText.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
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

// What the options set. Their usage errors are checked through the program, with its exit status.
TEST(CommandLine, OptionsAndTheirValues) {
    struct Case {
        std::vector<std::string> args;
        // rf64, dither, list, chapters, rateGiven; track, title, first and last chapter; output; inputs
        std::tuple<bool, bool, bool, bool, bool> flags;
        std::tuple<int, int, int, int> numbers;
        std::string output;
        std::vector<std::string> inputs;
    };
    const Case cases[] = {
        {{"x.raw"}, {}, {}, "", {"x.raw"}},
        {{"-r", "48000", "x.raw"}, {false, false, false, false, true}, {}, "", {"x.raw"}},
        {{"--rf64", "-b", "16", "--dither", "x.raw"}, {true, true, false, false, false}, {}, "", {"x.raw"}},
        {{"--list", "a.vob", "b.raw"}, {false, false, true, false, false}, {}, "", {"a.vob", "b.raw"}},
        {{"--title", "2", "--track", "12", "disc"}, {}, {12, 2, 0, 0}, "", {"disc"}},
        {{"--chapters", "disc"}, {false, false, false, true, false}, {}, "", {"disc"}},
        {{"disc", "--chapters"}, {false, false, false, true, false}, {}, "", {"disc"}},
        {{"--chapters", "3-17", "disc"}, {false, false, false, true, false}, {0, 0, 3, 17}, "", {"disc"}},
        {{"--chapters", "4", "disc"}, {false, false, false, true, false}, {0, 0, 4, 4}, "", {"disc"}},
        // A name that is no range stays an input, and "--" makes any name one.
        {{"--chapters", "4-", "2"}, {false, false, false, true, false}, {}, "", {"4-", "2"}},
        {{"--chapters", "--", "7"}, {false, false, false, true, false}, {}, "", {"7"}},
        // With --chapters, -o names the folder for the one input's chapter files.
        {{"--chapters", "-o", "songs", "disc"}, {false, false, false, true, false}, {}, "songs", {"disc"}},
    };
    for (const Case& c : cases) {
        ConvertOptions options;
        std::string error;
        ASSERT_TRUE(ParseCommandLine(c.args, options, error)) << c.args[0] << ": " << error;
        EXPECT_EQ(std::tuple(options.rf64, options.dither, options.list, options.chapters, options.rateGiven),
                  c.flags)
            << c.args[0];
        EXPECT_EQ(std::tuple(options.track, options.title, options.firstChapter, options.lastChapter),
                  c.numbers)
            << c.args[0];
        EXPECT_EQ(options.output, c.output);
        EXPECT_EQ(options.inputs, c.inputs);
    }
}

} // namespace
