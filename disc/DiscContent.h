#pragma once

#include "dvd/AudioTrack.h"

#include <cstdint>
#include <string>
#include <vector>

// What a DVD-Video disc holds, as read from its IFO files. Times are exact, in 90 kHz ticks (the clock of
// the streams' time stamps); byte positions count in the title stream that TTitleSource delivers.

inline constexpr int64_t kTicksPerSecond = 90000;
inline constexpr int64_t kDiscBlockBytes = 2048;

struct TDiscAudio {
    int number = 0; // the disc's audio stream number, 1 to 8, as the player's menu counts them
    TAudioCodec codec = TAudioCodec::Other;
    int bits = 0;         // LPCM only: 16, 20 or 24
    int rate = 0;         // 48000 or 96000
    int channels = 0;     // 1 to 8
    std::string language; // two-letter code, empty when the disc gives none
    // The stream's id in the VOBs: for LPCM the private-stream-1 sub-stream id, 0xA0 to 0xA7.
    int subStreamId = 0;
};

// One cell of a title's program chain, in playback order (first angle only).
struct TDiscCell {
    uint32_t firstSector = 0; // in the title set's VOBs
    uint32_t lastSector = 0;  // inclusive
    int64_t ticks = 0;        // playback time
    int64_t Bytes() const { return (int64_t{lastSector} - firstSector + 1) * kDiscBlockBytes; }
};

// Where a chapter begins, for cutting a title's audio into chapters: its start time counts from the title's
// start in the cells' playback times (exact, as the disc states them; time stamps inside the VOBs may start
// again at every cell and are not used). A run cuts chapter k of an LPCM stream of `rate` Hz at sample time
// NearestGroupStart(startTicks, rate, sampleTimesPerGroup), counted from the first sample of the stream in
// the title (the audio of all cells joined in the order TTitleSource delivers them); the previous chapter
// ends there, so the chapters joined are the whole title's samples. startByte is where the chapter's first
// cell begins in the title stream: the chapter's audio packets lie at or after it.
struct TDiscChapter {
    int number = 0;         // 1-based, as the disc numbers the title's chapters
    int firstCell = 0;      // index into TDiscTitle::cells
    int64_t startTicks = 0; // from the start of the title: the sum of the earlier cells' playback times
    int64_t lengthTicks = 0;
    int64_t startByte = 0; // where its first cell begins in the title stream
    int64_t bytes = 0;
};

struct TDiscTitle {
    int number = 0;            // 1-based, as the disc numbers its titles
    int titleSet = 0;          // the VTS holding it
    int64_t durationTicks = 0; // -1 for an unreadable title whose IFO could not be read
    // What its IFO's cells add up to before any was cut at the end of the VOBs: more than durationTicks for
    // a title whose VOBs end early; -1 where durationTicks is.
    int64_t ifoTicks = 0;
    std::vector<TDiscChapter> chapters;
    std::vector<TDiscAudio> audio;
    std::vector<TDiscCell> cells;
    // Why the title cannot be read, naming the file ("VTS_02_1.VOB is missing"); empty when it can. An
    // unreadable title has no cells, chapters or audio.
    std::string unreadable;
    // What a conversion of the title says once, and its listing too: chapters dropped, cells cut.
    std::vector<std::string> notes;

    int64_t Bytes() const;
    // The title's first LPCM stream, or nullptr.
    const TDiscAudio* FirstLpcm() const;
    // The stream the disc numbers `streamNumber`, or nullptr.
    const TDiscAudio* Audio(int streamNumber) const;
};

// The sample time at which a cut at `ticks` from the title start falls: the start of the sample group
// nearest to it, for groups of `sampleTimesPerGroup` sample times (2 for 20- and 24-bit LPCM, 1 for 16-bit).
// Counted from the title's first sample; exact integer arithmetic, ties round up.
int64_t NearestGroupStart(int64_t ticks, int rate, int sampleTimesPerGroup);
