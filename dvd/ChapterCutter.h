#pragma once

#include "dvd/ProgramStreamDemuxer.h"

#include <cstdint>
#include <vector>

// Finds where each chapter of a title's LPCM track begins, from the packets as they are read. A chapter's
// audio begins at the track's first packet at or after the chapter's first byte. Where that packet's time
// stamp continues the track's clock (the track's first stamped packet begins it), the cut goes to the
// sample that plays with the chapter's first video frame, counted on that clock from where it began (so
// audio that starts late, or is muxed ahead of its video, is cut where the picture changes); where the
// clock starts again (a new VOB) or has no stamp, the cut goes before the packet: the audio read before it
// stays in the chapter it was read in. Cuts fall between sample groups and never go back. The title's own
// start and end are cut alike, as the first chapter's start and the start of what follows the title.
class TChapterCutter {
public:
    // A time stamp this close to the clock continues it; LPCM stamps stray from their samples by up to
    // an encoder frame (about 10 ms in FFmpeg's streams), and a new VOB's clock jumps by far more.
    static constexpr int64_t kClockTolerance = 3600; // one PAL video frame
    // The farthest a chapter's first video frame may lie from its first audio packet's time and be used.
    static constexpr int64_t kMaxVideoOffset = 3 * 90000;

    // startBytes: the first byte of each chapter to find, in increasing order; groupFrames: frames per
    // sample group of the track.
    TChapterCutter(std::vector<int64_t> startBytes, int rate, int groupFrames);

    // The first byte of the next chapter to find, or -1 when all are found.
    int64_t NextStartByte() const;
    // Takes the track's next packet, `framesBefore` the frames of the track before it, and `videoStart`
    // the start time of the first video unit at or after NextStartByte() (-1 when unknown). Finds every
    // chapter the packet begins or lies past.
    void OnPacket(const TAudioPacket& packet, int64_t framesBefore, int64_t videoStart);
    // The frames at which the chapters found so far begin, in the order of startBytes.
    const std::vector<int64_t>& Cuts() const { return cuts_; }

private:
    std::vector<int64_t> startBytes_;
    int rate_;
    int groupFrames_;
    std::vector<int64_t> cuts_;
    bool haveClock_ = false;
    int64_t clockPts_ = 0;    // the last stamped packet's time
    int64_t clockFrames_ = 0; // and the frames before it
    int64_t runPts_ = 0;      // the first packet's time since the clock last began
    int64_t runFrames_ = 0;   // and the frames before it
};
