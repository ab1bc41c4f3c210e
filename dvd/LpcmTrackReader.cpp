#include "dvd/LpcmTrackReader.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A stamp this close to where the bytes put its frame follows on: stamps are whole ticks, a sample at
// 44.1 kHz is two.
constexpr int64_t kStampTolerance = 3;
// Stamped packets whose pointers and stamps must hold before a break in them counts as damage.
constexpr int kJudgedPackets = 16;
// A stamp at most this far back is a packet come again (or late); farther back, a clock started anew.
constexpr int64_t kMaxRepeatTicks = 90000;
// Silence is handed out in blocks of this many frames.
constexpr int64_t kFillBlockFrames = 4096;

} // namespace

TLpcmTrackReader::TLpcmTrackReader(TStreamSource& source, uint8_t trackId, bool reduceTo16, bool dither,
                                   TLpcmPackingChoice packing)
    : source_(source), demuxer_(source), trackId_(trackId), reduceTo16_(reduceTo16), dither_(dither),
      choice_(packing) {}

bool TLpcmTrackReader::Start() {
    const TPackingVerdict verdict =
        choice_ == TLpcmPackingChoice::Auto ? JudgePacking() : TPackingVerdict::Unknown;
    if (!NextOwnPacket(demuxer_, packet_))
        return false;
    format_ = packet_.format;
    // What the outputs say of themselves is written before their samples: the first packet decides.
    emphasis_ = emphasis_ || format_.emphasis;
    TLpcmPacking packing = choice_ == TLpcmPackingChoice::Quads ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
    if (choice_ == TLpcmPackingChoice::Auto && PackingsDiffer(format_)) {
        quadsDetected_ = verdict == TPackingVerdict::Quads;
        packingUnknown_ = verdict == TPackingVerdict::Unknown;
        packing = quadsDetected_ ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
    }
    decoder_ = std::make_unique<TLpcmDecoder>(format_, reduceTo16_, dither_, packing);
    decodeNext_ = Follow(packet_);
    return true;
}

// The track's first packet from startAt_ on.
bool TLpcmTrackReader::NextOwnPacket(TProgramStreamDemuxer& demuxer, TAudioPacket& packet) const {
    while (demuxer.NextPacketOf(trackId_, packet))
        if (packet.position >= startAt_)
            return true;
    return false;
}

// The track read ahead by a demultiplexer of its own, up to a change of format, a verdict or as far as
// the judgement goes; the source then starts again for the conversion, so that every packet is read in
// its place (chapters are found on the way).
TPackingVerdict TLpcmTrackReader::JudgePacking() {
    TPackingVerdict verdict = TPackingVerdict::Unknown;
    {
        TProgramStreamDemuxer ahead(source_);
        TAudioPacket packet;
        if (NextOwnPacket(ahead, packet) && PackingsDiffer(packet.format)) {
            const TLpcmFormat format = packet.format;
            TPackingDetector detector(format);
            do {
                if (!packet.format.SameLayout(format))
                    break;
                emphasis_ = emphasis_ || packet.format.emphasis;
                detector.Feed(packet.data, static_cast<size_t>(packet.size));
            } while (!detector.Done() && ahead.NextPacketOf(trackId_, packet));
            verdict = detector.Verdict();
        }
    }
    // A source that cannot start again fails its reads, which the conversion reports.
    source_.Restart();
    return verdict;
}

bool TLpcmTrackReader::Next(std::span<const uint8_t>& samples) {
    if (!decoder_ || formatChanged_)
        return false;
    for (;;) {
        if (fillLeft_ > 0) {
            const int64_t frames = std::min(fillLeft_, kFillBlockFrames);
            const auto bytes =
                static_cast<size_t>(frames * decoder_->Channels() * decoder_->OutputContainerBytes());
            if (silence_.size() < bytes)
                silence_.assign(bytes, 0);
            samples = {silence_.data(), bytes};
            fillLeft_ -= frames;
            frames_ += frames;
            filling_ = true;
            return true;
        }
        if (decodeNext_) {
            decodeNext_ = false;
            filling_ = false;
            block_ = packet_;
            lastSize_ = packet_.size;
            const auto size = static_cast<size_t>(packet_.size);
            const size_t skip = std::min(skip_, size);
            const int64_t before = decoder_->Frames();
            samples = decoder_->Decode(packet_.data + skip, size - skip);
            frames_ += decoder_->Frames() - before;
            return true;
        }
        if (!demuxer_.NextPacketOf(trackId_, packet_))
            return false;
        if (!packet_.format.SameLayout(format_)) {
            formatChanged_ = true;
            return false;
        }
        emphasis_ = emphasis_ || packet_.format.emphasis;
        decodeNext_ = Follow(packet_);
    }
}

// Positions count half bytes per two frames: frames times BytesPerTwoFrames, plus twice the bytes beyond.
int64_t TLpcmTrackReader::PositionAt(size_t bytes) const {
    return frames_ * format_.BytesPerTwoFrames() + 2 * static_cast<int64_t>(bytes);
}

int64_t TLpcmTrackReader::TicksTo(int64_t position) const {
    return position * 90000 / (int64_t{format_.BytesPerTwoFrames()} * format_.sampleRate);
}

void TLpcmTrackReader::SetClock(int64_t pts, int64_t position) {
    clock_ = true;
    clockPts_ = pts;
    clockPosition_ = position;
}

// The place the current break belongs to: the last one when it ended less than a second ago.
TAudioBreak& TLpcmTrackReader::Break() {
    if (current_ && frames_ <= current_->frame + current_->filled + format_.sampleRate)
        return *current_;
    ++breakCount_;
    if (breaks_.size() < kMaxBreaksKept) {
        breaks_.reserve(kMaxBreaksKept);
        current_ = &breaks_.emplace_back();
    } else {
        overflow_ = {};
        current_ = &overflow_;
    }
    current_->frame = frames_;
    return *current_;
}

// Whether the packet follows on from the bytes before it, by its first frame's pointer and its stamp;
// where it does not, the reader starts again at its first frame. False: the packet is left out.
bool TLpcmTrackReader::Follow(const TAudioPacket& stamped) {
    // Stamps that do not increase over the track's first packets say nothing (some muxers stamp every
    // packet alike): the pointers alone are checked then.
    TAudioPacket packet = stamped;
    packet.hasPts = stamps_ && stamped.hasPts;
    const size_t group = static_cast<size_t>(decoder_->GroupBytes());
    const size_t pending = decoder_->PendingBytes();
    const bool newCell = demuxer_.CellChanges() != cells_;
    cells_ = demuxer_.CellChanges();
    const bool hasFrame = packet.firstFrame >= 0;
    const size_t first = hasFrame ? static_cast<size_t>(packet.firstFrame) : 0;
    skip_ = 0;
    if (first_) {
        // Bytes before the first frame that do not fill a group are the end of one begun before the stream.
        first_ = false;
        skip_ = first % group;
        if (packet.hasPts) {
            SetClock(packet.pts, PositionAt(first - skip_));
            havePts_ = true;
            lastPts_ = packet.pts;
        }
        return true;
    }
    if (packet.hasPts && havePts_ && !newCell && packet.pts <= lastPts_ &&
        lastPts_ - packet.pts <= kMaxRepeatTicks) {
        if (++stamped_ <= kJudgedPackets) {
            stamps_ = false;
            return true;
        }
        Break().repeated += 2 * int64_t{packet.size} / format_.BytesPerTwoFrames();
        return false;
    }
    if (packet.hasPts)
        ++stamped_;
    const size_t lead = pending + first;
    const bool aligned = !exact_ || !hasFrame || lead % group == 0;
    if (!packet.hasPts || !clock_) {
        if (!aligned && judged_ < kJudgedPackets)
            exact_ = false;
        else if (!aligned)
            // No stamp to say how much is lost: the broken group's bytes become silence.
            Rejoin(packet, TicksTo(2 * static_cast<int64_t>(lead)), false);
        if (packet.hasPts) {
            SetClock(packet.pts, PositionAt(exact_ ? lead : pending));
            havePts_ = true;
            lastPts_ = packet.pts;
        }
        return true;
    }
    if (exact_) {
        const int64_t drift = packet.pts - clockPts_ - TicksTo(PositionAt(lead) - clockPosition_);
        if (aligned && hasFrame && std::llabs(drift) <= kStampTolerance) {
            SetClock(packet.pts, PositionAt(lead));
            lastPts_ = packet.pts;
            pointed_ = pointed_ || first > 0;
            // Pointers that only ever point at the first byte are FFmpeg's, whatever the packet holds.
            if (++judged_ == kJudgedPackets && !pointed_)
                exact_ = false;
            return true;
        }
        if (!hasFrame || (judged_ < kJudgedPackets && !newCell)) {
            // Stamps that do not belong to a frame's first byte: checked by their packets from here on.
            exact_ = false;
            SetClock(packet.pts, PositionAt(pending));
            lastOffset_ = 0;
            lastPts_ = packet.pts;
            return true;
        }
        lastPts_ = packet.pts;
        Rejoin(packet, drift, newCell);
        return true;
    }
    // The stamp belongs to a frame that begins somewhere in the packet.
    const int64_t offset = packet.pts - clockPts_ - TicksTo(PositionAt(pending) - clockPosition_);
    const int64_t duration = TicksTo(2 * int64_t{packet.size});
    lastPts_ = packet.pts;
    if (offset >= -duration - kStampTolerance && offset <= duration + kStampTolerance) {
        // A stamp before its packet's first byte: the clock was set by a frame later in its packet.
        if (offset < 0)
            clockPts_ += offset;
        lastOffset_ = std::max<int64_t>(offset, 0);
        return true;
    }
    if (stamped_ <= kJudgedPackets && !newCell) {
        // Stamps that do not keep to the bytes from the start (a muxer's own clock) are not used.
        stamps_ = false;
        return true;
    }
    Rejoin(packet, offset - lastOffset_, newCell);
    return true;
}

// Where a group most likely begins in a packet whose pointer says nothing. Such packets hold whole sample
// times, so the choice is between the group's sample times: the one that decodes to the smoothest audio
// (one off mixes high and low parts into noise), or, as smooth, `expected`, where the packets lost would
// put it if they were as long as the one before.
size_t TLpcmTrackReader::SmoothestStart(const TAudioPacket& packet, size_t expected) const {
    const auto group = static_cast<size_t>(decoder_->GroupBytes());
    const auto size = static_cast<size_t>(packet.size);
    const auto twoFrames = static_cast<size_t>(format_.BytesPerTwoFrames());
    const size_t step = twoFrames % 2 == 0 ? twoFrames / 2 : twoFrames;
    if (size < 4 * group || step >= group)
        return expected % step == 0 ? expected : 0;
    const auto channels = static_cast<size_t>(decoder_->Channels());
    size_t best = 0;
    int64_t bestRoughness = INT64_MAX, expectedRoughness = INT64_MAX;
    for (size_t start = 0; start < group; start += step) {
        TLpcmDecoder trial(format_, false, false, decoder_->Packing());
        const std::span<const uint8_t> out = trial.Decode(packet.data + start, size - start);
        const auto width = static_cast<size_t>(trial.OutputContainerBytes());
        const auto sample = [&](size_t k) {
            const uint8_t* p = out.data() + k * width;
            const auto container = width == 2
                                       ? uint32_t{p[0]} << 16 | uint32_t{p[1]} << 24
                                       : uint32_t{p[0]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 24;
            return int64_t{static_cast<int32_t>(container) >> 8};
        };
        const size_t samples = out.size() / width;
        int64_t sum = 0;
        for (size_t k = channels; k < samples; ++k)
            sum += std::llabs(sample(k) - sample(k - channels));
        // Per sample, as the starts decode different counts.
        const int64_t roughness = samples > channels ? sum * 16 / static_cast<int64_t>(samples) : 0;
        if (roughness < bestRoughness) {
            bestRoughness = roughness;
            best = start;
        }
        if (start == expected)
            expectedRoughness = roughness;
    }
    return expectedRoughness - bestRoughness <= bestRoughness / 8 ? expected : best;
}

// Starts again at the packet's first frame, the broken group dropped; `gapTicks` is the time missing by the
// stamps. Within kMaxFillTicks it becomes silence (or is told as left out); a larger jump, or one where a
// new cell begins, is a clock of its own.
void TLpcmTrackReader::Rejoin(const TAudioPacket& packet, int64_t gapTicks, bool newCell) {
    const int64_t groupFrames = decoder_->GroupFrames();
    const size_t group = static_cast<size_t>(decoder_->GroupBytes());
    const size_t pending = decoder_->PendingBytes();
    size_t first = exact_ && packet.firstFrame >= 0 ? static_cast<size_t>(packet.firstFrame) : 0;
    if (!exact_) {
        // The packets lost, as long as the last one read, and the bytes they held.
        const int64_t lostBytes =
            std::max<int64_t>(0, gapTicks) * format_.BytesPerTwoFrames() * format_.sampleRate / 180000;
        const int64_t lost = lastSize_ > 0 ? (lostBytes + lastSize_ / 2) / lastSize_ : 0;
        const size_t phase = (pending + static_cast<size_t>(lost * lastSize_)) % group;
        first = SmoothestStart(packet, (group - phase) % group);
    }
    const int64_t broken = static_cast<int64_t>((pending + first + group / 2) / group) * groupFrames;
    decoder_->DropPending();
    skip_ = first;
    const int64_t rate = format_.sampleRate;
    if (newCell || gapTicks > kMaxFillTicks || gapTicks < -kStampTolerance) {
        if (packet.hasPts)
            SetClock(packet.pts, PositionAt(0));
        if (!newCell)
            Break().jumpTicks += gapTicks;
        return;
    }
    int64_t frames = broken;
    if (packet.hasPts && exact_) {
        // The frame the stamp belongs to goes where the clock puts it.
        const int64_t at =
            clockPosition_ + (packet.pts - clockPts_) * format_.BytesPerTwoFrames() * rate / 90000;
        frames = at / format_.BytesPerTwoFrames() - frames_;
    } else if (packet.hasPts) {
        frames = gapTicks * rate / 90000;
    }
    frames = std::max<int64_t>(0, (frames + groupFrames / 2) / groupFrames * groupFrames);
    TAudioBreak& place = Break();
    place.missing = place.missing || frames > broken + groupFrames;
    // Silence never outgrows the audio by more than one longest gap: stamps that keep jumping ahead are no
    // clock to fill.
    const int64_t maxFill = kMaxFillTicks * rate / 90000;
    if (fillGaps_ && filledTotal_ + frames <= frames_ - filledTotal_ + maxFill) {
        place.filled += frames;
        fillLeft_ = frames;
        filledTotal_ += frames;
    } else {
        place.joined += frames;
        frames = 0;
    }
    // A stamp somewhere in its packet is taken for its first byte's: later stamps can then only be later in
    // theirs, and one that is earlier moves the clock back.
    if (packet.hasPts)
        SetClock(packet.pts, (frames_ + frames) * format_.BytesPerTwoFrames());
    lastOffset_ = 0;
}

double TLpcmTrackReader::ChangeSeconds() const {
    return static_cast<double>(frames_) / format_.sampleRate;
}
