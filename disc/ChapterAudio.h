#pragma once

#include "disc/DiscContent.h"

#include <cstdint>
#include <optional>
#include <vector>

class TDisc;

// Where a title's chapters begin in one of its LPCM streams, exactly as a conversion cuts them
// (TChapterCutter), and the frames of the title's audio: the chapters' true starts and lengths, counted
// from where the title's audio begins.
struct TChapterAudio {
    int rate = 0;
    std::vector<int64_t> starts; // one per chapter, the first at 0
    int64_t frames = 0;
    bool emphasis = false; // some packet carried the pre-emphasis flag
    // The chapter in which the stream's format changes, where a conversion stops (0: it does not change);
    // the starts from that chapter on are not the audio's.
    int formatChangeChapter = 0;
};

// Reads the title's stream once, without decoding it; nullopt when the stream cannot be read or has no
// packet of `audio`.
std::optional<TChapterAudio> FindChapterAudio(const TDisc& disc, const TDiscTitle& title,
                                              const TDiscAudio& audio);
