#pragma once

#include "dvd/LpcmLayout.h"
#include "dvd/PackingDetector.h"
#include "dvd/ProgramStreamDemuxer.h"

#include <memory>
#include <span>
#include <vector>

// A place where a track's audio did not follow on, as one or more breaks close together: from `frame` of
// the output on, `filled` frames of silence stand for audio lost or broken; `joined` frames were missing
// and not filled (gaps left closed); `repeated` frames came again and were left out; or the clock jumped
// by `jumpTicks` (90 kHz) and the audio on either side was joined.
struct TAudioBreak {
    int64_t frame = 0;
    int64_t filled = 0;
    bool missing = false; // the time stamps say audio is missing, beyond a broken sample group
    int64_t joined = 0;
    int64_t repeated = 0;
    int64_t jumpTicks = 0;
};

// One LPCM track of a program stream as blocks of output samples: the demultiplexer and the layout
// decoder joined, with what a conversion must tell its user gathered on the way (skipped bytes,
// pre-emphasis, a change of format that ends the track).
class TLpcmTrackReader {
public:
    // trackId: the sub-stream id (A0-A7); reduceTo16 and dither as for TLpcmDecoder; packing: the one to
    // read, or Auto to detect it from the track's start (TPackingDetector). With Auto the source must be
    // able to start again.
    TLpcmTrackReader(TStreamSource& source, uint8_t trackId, bool reduceTo16, bool dither,
                     TLpcmPackingChoice packing = TLpcmPackingChoice::Auto);

    // Where the track's packets do not follow on (a pack lost, blanked or out of order), the reader drops
    // the sample group broken there and starts again at the next whole audio frame; time missing up to
    // kMaxFillTicks is filled with digital silence, so that the audio keeps the title's clock (or, without
    // fillGaps, left out and the audio joined); a packet that comes again is left out. On by default.
    void SetFillGaps(bool fill) { fillGaps_ = fill; }
    // The most silence one gap gets: 10 s, more than a damaged stretch of a disc loses (a blanked
    // unreadable area of some hundred sectors is a second or so), less than a clock that starts anew jumps
    // by; a larger jump joins the audio on either side.
    static constexpr int64_t kMaxFillTicks = 10 * 90000;

    // The track begins at its first packet at or after `position` of the stream: the packets before it
    // are read past, unseen. Set before Start.
    void StartAt(int64_t position) { startAt_ = position; }

    // Reads up to the track's first packet, whose format the output takes; with Auto, reads the track ahead
    // first, where the packings differ as far as its packing is judged, and starts the source again.
    // False when the track has none.
    bool Start();
    // The packing read, and whether it was detected (not chosen) as quads, or read as pairs because the
    // track's start did not tell.
    TLpcmPacking Packing() const { return decoder_ ? decoder_->Packing() : TLpcmPacking::Pairs; }
    bool QuadsDetected() const { return quadsDetected_; }
    bool PackingUnknown() const { return packingUnknown_; }
    // The first packet's format and the decoder built for it (valid after Start returned true).
    const TLpcmFormat& Format() const { return format_; }
    const TLpcmDecoder& Decoder() const { return *decoder_; }

    // The next block of output samples (possibly empty); false at the end of the track, or at its first
    // packet whose bits, rate or channels differ from Format(): the track stops there.
    bool Next(std::span<const uint8_t>& samples);

    // The block Next handed out last is silence standing for missing audio, not a packet's.
    bool BlockIsFill() const { return filling_; }
    // The packet that began the block Next handed out last: where it lies in the stream and its time
    // stamp (hasPts false when it has none).
    const TAudioPacket& BlockPacket() const { return block_; }
    // See TProgramStreamDemuxer::WatchVideoStart.
    void WatchVideoStart(int64_t position) { demuxer_.WatchVideoStart(position); }

    // The track stopped at a change of format, after ChangeSeconds() of audio.
    bool FormatChanged() const { return formatChanged_; }
    // Where in the stream the packet of the new format lies (valid when FormatChanged()).
    int64_t ChangePosition() const { return packet_.position; }
    double ChangeSeconds() const;
    // Some packet of the track carried the pre-emphasis flag (the audio is not de-emphasised).
    bool Emphasis() const { return emphasis_; }
    const TProgramStreamDemuxer& Demuxer() const { return demuxer_; }
    // Frames handed out so far, silence included.
    int64_t Frames() const { return frames_; }

    // The places where the audio did not follow on, the first kMaxBreaksKept of them; a break within a
    // second of the one before belongs to its place. BreakCount counts them all.
    const std::vector<TAudioBreak>& Breaks() const { return breaks_; }
    int BreakCount() const { return breakCount_; }
    static constexpr size_t kMaxBreaksKept = 100;

private:
    TPackingVerdict JudgePacking();
    bool NextOwnPacket(TProgramStreamDemuxer& demuxer, TAudioPacket& packet) const;
    bool Follow(const TAudioPacket& stamped);
    void Rejoin(const TAudioPacket& packet, int64_t gapTicks, bool newCell);
    int64_t TicksTo(int64_t position) const;
    size_t SmoothestStart(const TAudioPacket& packet, size_t expected) const;
    int64_t PositionAt(size_t bytes) const;
    void SetClock(int64_t pts, int64_t position);
    TAudioBreak& Break();

    TStreamSource& source_;
    TProgramStreamDemuxer demuxer_;
    uint8_t trackId_;
    bool reduceTo16_;
    bool dither_;
    TLpcmPackingChoice choice_;
    int64_t startAt_ = 0;
    TLpcmFormat format_;
    std::unique_ptr<TLpcmDecoder> decoder_;
    TAudioPacket packet_;
    TAudioPacket block_;
    bool quadsDetected_ = false;
    bool packingUnknown_ = false;
    bool formatChanged_ = false;
    bool emphasis_ = false;

    // The track's clock: a time stamp and the position it belongs to, in units of half a byte per two
    // frames (frames times BytesPerTwoFrames plus twice the bytes beyond), so that any layout counts in
    // whole numbers.
    bool fillGaps_ = true;
    bool clock_ = false;
    int64_t clockPts_ = 0;
    int64_t clockPosition_ = 0;
    bool havePts_ = false;
    int64_t lastPts_ = 0;
    // Pointers and stamps that hold to the byte over the track's first packets are checked so; FFmpeg's
    // say 4 in every packet and stamp a frame somewhere in it, and are only checked to lie in their packet.
    bool exact_ = true;
    int judged_ = 0;
    bool pointed_ = false; // a judged pointer pointed past its packet's first byte
    bool stamps_ = true;
    int stamped_ = 0;
    bool first_ = true;
    int64_t lastOffset_ = 0; // such a stamp's distance from its packet's start, last seen
    int64_t lastSize_ = 0;   // bytes of the last packet decoded
    int cells_ = 0;
    size_t skip_ = 0;         // bytes of the packet before where decoding starts
    int64_t fillLeft_ = 0;    // frames of silence still to hand out before the packet
    int64_t filledTotal_ = 0; // frames of silence handed out or to be
    bool decodeNext_ = false; // packet_ is the next to decode
    bool filling_ = false;
    int64_t frames_ = 0;
    std::vector<uint8_t> silence_;
    std::vector<TAudioBreak> breaks_;
    TAudioBreak overflow_; // the current place once kMaxBreaksKept are kept
    TAudioBreak* current_ = nullptr;
    int breakCount_ = 0;
};
