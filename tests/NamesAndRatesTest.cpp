#include "engine/NameProposal.h"
#include "engine/RateText.h"

#include <gtest/gtest.h>

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

} // namespace
