#include "dvd/ChapterCutter.h"

#include <algorithm>
#include <cstdlib>

TChapterCutter::TChapterCutter(std::vector<int64_t> startBytes, int rate, int groupFrames)
    : startBytes_(std::move(startBytes)), rate_(rate), groupFrames_(std::max(1, groupFrames)) {}

int64_t TChapterCutter::NextStartByte() const {
    return cuts_.size() < startBytes_.size() ? startBytes_[cuts_.size()] : -1;
}

void TChapterCutter::OnPacket(const TAudioPacket& packet, int64_t framesBefore, int64_t videoStart) {
    // The track's first stamped packet begins its clock, so that a title that starts inside a stream is
    // cut at its video's start as a chapter is.
    if (packet.hasPts && !haveClock_) {
        haveClock_ = true;
        clockPts_ = runPts_ = packet.pts;
        clockFrames_ = runFrames_ = framesBefore;
    }
    const bool continues =
        packet.hasPts && haveClock_ &&
        std::llabs(packet.pts - clockPts_ - (framesBefore - clockFrames_) * 90000 / rate_) <= kClockTolerance;
    while (cuts_.size() < startBytes_.size() && packet.position >= startBytes_[cuts_.size()]) {
        int64_t cut = framesBefore;
        if (continues && videoStart >= runPts_ && std::llabs(videoStart - packet.pts) <= kMaxVideoOffset) {
            // The sample group nearest to the video's start, on the clock counted from where it began
            // (single stamps stray; the clock's start is the track's own).
            const int64_t groupTicks = int64_t{90000} * groupFrames_;
            const int64_t groups = ((videoStart - runPts_) * rate_ * 2 + groupTicks) / (2 * groupTicks);
            cut = runFrames_ + groups * groupFrames_;
        }
        cut = std::max(cut, framesBefore);
        if (!cuts_.empty())
            cut = std::max(cut, cuts_.back());
        cuts_.push_back(cut);
    }
    if (packet.hasPts) {
        if (!continues) {
            runPts_ = packet.pts;
            runFrames_ = framesBefore;
        }
        haveClock_ = true;
        clockPts_ = packet.pts;
        clockFrames_ = framesBefore;
    }
}
