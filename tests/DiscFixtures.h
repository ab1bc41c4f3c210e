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

// Skips the calling test when a tool is missing.
#define REQUIRE_DISC_FIXTURES()                                                                              \
    if (!DiscFixtures().missing.empty())                                                                     \
    GTEST_SKIP() << DiscFixtures().missing << " is not installed (scripts/install-deps installs it)"
