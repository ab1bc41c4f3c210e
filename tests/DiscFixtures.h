#pragma once

#include <string>

// Real DVD-Video discs authored for the tests by FFmpeg (MPEG-2 video, LPCM and AC-3 audio), dvdauthor
// and genisoimage, made once per test process in a temporary folder that is removed at exit.
//
// Title 1 (title set 1): 14 s, chapters at 0, 5 and 12 s, two LPCM streams (16 bit, 48 kHz, stereo;
// languages en and de). Title 2 (title set 2, NTSC video): 6 s, chapters at 0 and 2 s, stream 1 AC-3
// mono, stream 2 LPCM 24 bit, 96 kHz, mono.
// DOCUMENTARY: title 1 (4 s) AC-3 stereo only; title 2 (2 s, chapters at 0 and 1 s) LPCM 16 bit, 48 kHz,
// stereo. SPEECH: its title 1 alone.
struct TDiscFixtures {
    std::string missing;     // the tool that was not found; every path below is empty then
    std::string discFolder;  // MUSICDISC, holding VIDEO_TS/
    std::string image;       // the same disc as an ISO image, volume label kImageLabel
    std::string work;        // a folder for the tests' own copies
    std::string documentary; // DOCUMENTARY, holding VIDEO_TS/
    std::string speech;      // SPEECH, holding VIDEO_TS/
};

inline constexpr const char* kFolderLabel = "MUSICDISC";
inline constexpr const char* kImageLabel = "CONCERT_2024";

const TDiscFixtures& DiscFixtures();

// Two music discs authored the usual ways, each song a tone of its own (16 bit, 48 kHz, stereo), made once
// per test process like the discs above:
// - songsDisc (SONGS): one VOB per song, 440 Hz for 10 s, 660 Hz for 15 s under 15.5 s of video, 880 Hz for
//   10 s;
// - lateDisc (LATE): one VOB of 30 s of video whose audio starts 1 s after it, chapters where the video
//   reaches 10.2 and 20.2 s, and the tone going from 440 to 660 and to 880 Hz just there (9.2 and 19.2 s
//   into the audio);
// - sharedDisc (SHARED): one VOB of 20 s, the tone going from 440 to 660 Hz at 10 s and to 880 Hz at 14 s;
//   title 1 all of it, chapters at 0, 10 and 14 s; titles 2 and 3 its cells from 10 to 14 s and from 14 s
//   on, the VOB shared as a concert's disc shares it between the whole and each song.
struct TSongDiscs {
    std::string songsDisc;
    std::string lateDisc;
    std::string work;
    std::string sharedDisc;
};
const TSongDiscs& SongDiscs();

// Skips the calling test when a tool is missing.
#define REQUIRE_DISC_FIXTURES()                                                                              \
    if (!DiscFixtures().missing.empty())                                                                     \
    GTEST_SKIP() << DiscFixtures().missing << " is not installed (scripts/install-deps installs it)"
