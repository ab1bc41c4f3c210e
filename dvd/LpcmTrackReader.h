#pragma once

#include "dvd/LpcmLayout.h"
#include "dvd/PackingDetector.h"
#include "dvd/ProgramStreamDemuxer.h"

#include <memory>
#include <span>

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

    // The packet that began the block Next handed out last: where it lies in the stream and its time
    // stamp (hasPts false when it has none).
    const TAudioPacket& BlockPacket() const { return block_; }
    // See TProgramStreamDemuxer::WatchVideoStart.
    void WatchVideoStart(int64_t position) { demuxer_.WatchVideoStart(position); }

    // The track stopped at a change of format, after ChangeSeconds() of audio.
    bool FormatChanged() const { return formatChanged_; }
    double ChangeSeconds() const;
    // Some packet of the track carried the pre-emphasis flag (the audio is not de-emphasised).
    bool Emphasis() const { return emphasis_; }
    const TProgramStreamDemuxer& Demuxer() const { return demuxer_; }

private:
    TPackingVerdict JudgePacking();

    TStreamSource& source_;
    TProgramStreamDemuxer demuxer_;
    uint8_t trackId_;
    bool reduceTo16_;
    bool dither_;
    TLpcmPackingChoice choice_;
    TLpcmFormat format_;
    std::unique_ptr<TLpcmDecoder> decoder_;
    TAudioPacket packet_;
    bool havePacket_ = false;
    TAudioPacket block_;
    bool quadsDetected_ = false;
    bool packingUnknown_ = false;
    bool formatChanged_ = false;
    bool emphasis_ = false;
};
