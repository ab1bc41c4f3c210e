#pragma once

#include "output/AudioFormat.h"

#include <cstdint>
#include <limits>
#include <vector>

class TMMIOFile;

// Where a run's samples go: an output format written into a file that the run created and will close (or
// delete). A sink begins with the format, takes the sample bytes, and is finished with the final sizes
// when the output stays, or abandoned when it goes. Until it is finished, the file claims no samples, so
// that an output cut short by a crash or a kill never claims what it does not hold.
class TAudioSink {
public:
    static constexpr int64_t kNoFrameLimit = std::numeric_limits<int64_t>::max();

    virtual ~TAudioSink() = default;

    // The most sample frames (sample times of all channels) a file of `format` can describe.
    virtual int64_t FrameLimit(const TAudioFormat& format) const = 0;

    // Writes what goes before the samples. False when that could not be written.
    virtual bool Begin(TMMIOFile& file, const TAudioFormat& format) = 0;
    // Whole frames of sample bytes in the format's layout. False when they could not be written.
    virtual bool Write(const uint8_t* bytes, int32_t count) = 0;
    // Gives the file its final sizes for the `dataBytes` bytes of samples written. False when that failed;
    // closing the file afterwards flushes it, which may still fail.
    virtual bool Finish(int64_t dataBytes) = 0;
    // The frames at which a whole title's chapters begin, once the run has found them all (before Finish):
    // for the sinks that mark chapters, the same count as they were made with.
    virtual void SetChapterStarts(const std::vector<int64_t>& /*starts*/) {}
    // The output goes: nothing more is written.
    virtual void Abandon() = 0;
    // The samples lie in the file as they come, so that a run may put them straight into the file object
    // in its own small pieces.
    virtual bool SamplesGoStraightToFile() const { return false; }
};
