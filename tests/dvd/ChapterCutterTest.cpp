#include "dvd/ChapterCutter.h"

#include <gtest/gtest.h>

namespace {

// Packets of 480 frames at 48 kHz (900 ticks each), in 2048-byte packs, and a chapter starting at byte
// 20480 (the 11th pack).
TAudioPacket Packet(int index, int64_t pts, bool hasPts = true) {
    TAudioPacket packet;
    packet.position = index * 2048;
    packet.pts = pts;
    packet.hasPts = hasPts;
    return packet;
}

} // namespace

// Where a chapter's audio begins: on a continuing clock at the video's start counted from the clock's
// start, on a clock that starts again (or without stamps) before the packet, never before what was read,
// and between sample groups.
TEST(ChapterCutter, CutsWhereTheChaptersAudioBegins) {
    const struct {
        const char* what;
        int64_t chapterPts; // the stamp of the chapter's first packet (the clock runs 900 ticks a packet)
        bool hasPts;
        int64_t videoStart;
        int groupFrames;
        int64_t cut;
    } cases[] = {
        {"video starts 0.1 s after the packet", 10 * 900, true, 10 * 900 + 9000, 1, 4800 + 4800},
        {"the clock counts from its start, not from the straying packet", 10 * 900 + 700, true, 9000 + 9000,
         1, 9600},
        {"the nearest group of two", 10 * 900, true, 10 * 900 + 9001, 2, 9600},
        {"video before the packet: what was read stays", 10 * 900, true, 10 * 900 - 9000, 1, 4800},
        {"a new clock (a new VOB)", 500, true, 500, 1, 4800},
        {"no stamp", 0, false, 9000, 1, 4800},
        {"no video start seen", 10 * 900, true, -1, 1, 4800},
        {"a video start far off is not used", 10 * 900, true, 10 * 900 + 5 * 90000, 1, 4800},
    };
    for (const auto& c : cases) {
        TChapterCutter cutter({10 * 2048}, 48000, c.groupFrames);
        for (int i = 0; i < 10; ++i)
            cutter.OnPacket(Packet(i, i * 900), i * 480, -1);
        EXPECT_EQ(cutter.NextStartByte(), 10 * 2048);
        cutter.OnPacket(Packet(10, c.chapterPts, c.hasPts), 4800, c.videoStart);
        ASSERT_EQ(cutter.Cuts().size(), 1u) << c.what;
        EXPECT_EQ(cutter.Cuts()[0], c.cut) << c.what;
        EXPECT_EQ(cutter.NextStartByte(), -1);
    }

    // Chapters without audio of their own begin where the next audio does, in order.
    TChapterCutter cutter({2048, 4096, 6144}, 48000, 1);
    cutter.OnPacket(Packet(0, 0), 0, -1);
    cutter.OnPacket(Packet(3, 900), 480, -1);
    EXPECT_EQ(cutter.Cuts(), (std::vector<int64_t>{480, 480, 480}));
}

// A title that starts inside a stream is cut like a chapter: its clock begins at its first stamped packet,
// and its audio at the video's start on that clock.
TEST(ChapterCutter, ATitleStartsWhereItsVideoDoes) {
    TChapterCutter cutter({0}, 48000, 2);
    cutter.OnPacket(Packet(0, 855'000), 0, 855'000 + 9000);
    EXPECT_EQ(cutter.Cuts(), std::vector<int64_t>{4800});
}
