#include "disc/AudioTitleStream.h"

#include "disc/DiscContent.h"
#include "texts/AudioDiscTexts.h"

#include <algorithm>

std::unique_ptr<TAudioTitleStream> TAudioTitleStream::Open(const TAudioDisc& disc,
                                                           const TAudioDiscTitle& title, int firstTrack,
                                                           int lastTrack, std::string& error) {
    if (!title.unconvertible.empty()) {
        error = title.unconvertible;
        return nullptr;
    }
    const int tracks = static_cast<int>(title.tracks.size());
    if (firstTrack < 1 || lastTrack > tracks || firstTrack > lastTrack) {
        error = msg::kAudioNoSamples;
        return nullptr;
    }
    const bool mlp = title.format.coding == TAobCoding::Mlp;
    const TAudioDiscTrack& last = title.tracks[static_cast<size_t>(lastTrack - 1)];
    // An MLP access unit may begin in one cell and end in the next: one cell more completes the run's last.
    size_t lastCell = static_cast<size_t>(last.firstCell + last.cellCount - 1);
    if (mlp && lastCell + 1 < title.cells.size())
        ++lastCell;
    std::unique_ptr<TAudioTitleStream> stream(new TAudioTitleStream);
    stream->source_ = disc.OpenCells(title, 0, lastCell, error);
    if (!stream->source_)
        return nullptr;
    stream->reader_ = std::make_unique<TAobAudioReader>(*stream->source_, mlp ? kAobMlpId : kAobPcmId);
    if (!stream->reader_->Start()) {
        error = stream->reader_->Error();
        return nullptr;
    }
    // The cuts at the stream's own rate and unit, should they differ from what the tables state.
    TAudioDiscFormat cutFormat = title.format;
    cutFormat.rate[0] = static_cast<int>(stream->Format().sampleRate);
    const int64_t origin = title.tracks.front().firstPts;
    std::vector<int64_t> starts;
    for (const TAudioDiscTrack& track : title.tracks) {
        const int64_t at = NearestGroupStart(std::max<int64_t>(0, track.firstPts - origin), cutFormat.rate[0],
                                             cutFormat.FramesPerUnit());
        starts.push_back(std::max(at, starts.empty() ? 0 : starts.back()));
    }
    stream->rangeStart_ = starts[static_cast<size_t>(firstTrack - 1)];
    if (lastTrack < tracks)
        stream->rangeEnd_ = starts[static_cast<size_t>(lastTrack)];
    for (int t = firstTrack; t <= lastTrack; ++t)
        stream->trackStarts_.push_back(starts[static_cast<size_t>(t - 1)] - stream->rangeStart_);
    const int64_t statedEnd =
        lastTrack < tracks ? stream->rangeEnd_
                           : std::max(starts.back(), NearestGroupStart(title.lengthPts, cutFormat.rate[0],
                                                                       cutFormat.FramesPerUnit()));
    stream->expectedFrames_ = statedEnd - stream->rangeStart_;
    return stream;
}

bool TAudioTitleStream::Next(std::span<const uint8_t>& samples) {
    samples = {};
    const size_t frameBytes = Format().BlockAlign();
    while (titleFrames_ < rangeEnd_) {
        std::span<const uint8_t> block;
        if (!reader_->Next(block)) {
            if (delivered_ == 0 && reader_->Error().empty())
                error_ = msg::kAudioNoSamples;
            return false;
        }
        const int64_t frames = static_cast<int64_t>(block.size() / frameBytes);
        const int64_t from = std::clamp<int64_t>(rangeStart_ - titleFrames_, 0, frames);
        const int64_t to = std::clamp<int64_t>(rangeEnd_ - titleFrames_, 0, frames);
        titleFrames_ += frames;
        if (to > from) {
            samples = block.subspan(static_cast<size_t>(from) * frameBytes,
                                    static_cast<size_t>(to - from) * frameBytes);
            delivered_ += to - from;
            return true;
        }
    }
    return false;
}
