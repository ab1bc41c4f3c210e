#pragma once

#include "disc/AobAudioReader.h"
#include "disc/AobSource.h"
#include "disc/AudioDisc.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

// A DVD-Audio title's samples, or those of a run of its tracks, ready for an output: whole sample periods
// of little-endian samples in WAVE and FLAC channel order, and where each track begins.
//
// The title's cells are read from its start, so that every run of tracks is cut from the same samples at
// the same places: the tracks' files joined are the title's, sample for sample. A track begins at
// TAudioDiscTrack::startFrame (its first PTS on the title's audio clock); the last track of the title runs
// to the end of its audio.
class TAudioTitleStream {
public:
    // Tracks firstTrack to lastTrack (1-based, inclusive) of the title. Reads up to its first samples,
    // which fix Format(). nullptr with `error` set when the title cannot be converted (its reason), its
    // AOB files cannot be read, it is protected, holds no audio, or its audio cannot be decoded.
    static std::unique_ptr<TAudioTitleStream> Open(const TAudioDisc& disc, const TAudioDiscTitle& title,
                                                   int firstTrack, int lastTrack, std::string& error);

    const TAudioSampleFormat& Format() const { return reader_->Format(); }
    // Where each track of the run begins, in sample periods from the stream's first (the first is 0).
    const std::vector<int64_t>& TrackStarts() const { return trackStarts_; }
    // The run's length as the disc states it, in sample periods: for a gauge; the stream may end sooner.
    int64_t ExpectedFrames() const { return expectedFrames_; }

    // The next block of samples (possibly empty); false at the end, or on an error, which Error() names
    // (empty at a clean end; msg::kAudioNoSamples when the audio ends before the run's first track). The
    // block stays valid until the next call.
    bool Next(std::span<const uint8_t>& samples);
    const std::string& Error() const { return error_.empty() ? reader_->Error() : error_; }

    int64_t Frames() const { return delivered_; }
    bool Emphasis() const { return reader_->Emphasis(); }
    int64_t SkippedBytes() const { return reader_->SkippedBytes(); }
    // Bytes of the title read so far and in all, for progress.
    int64_t Position() const { return reader_->Demuxer().Position(); }
    int64_t Size() const { return source_->Size(); }

private:
    TAudioTitleStream() = default;

    std::unique_ptr<TAobSource> source_;
    std::unique_ptr<TAobAudioReader> reader_;
    std::vector<int64_t> trackStarts_;
    int64_t rangeStart_ = 0; // in the title's sample periods
    int64_t rangeEnd_ = INT64_MAX;
    int64_t expectedFrames_ = 0;
    int64_t titleFrames_ = 0; // read from the title so far
    int64_t delivered_ = 0;
    std::string error_; // the run's own: its audio ended before the run began
};
