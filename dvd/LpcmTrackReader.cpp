#include "dvd/LpcmTrackReader.h"

TLpcmTrackReader::TLpcmTrackReader(TStreamSource& source, uint8_t trackId, bool reduceTo16, bool dither,
                                   TLpcmPackingChoice packing)
    : source_(source), demuxer_(source), trackId_(trackId), reduceTo16_(reduceTo16), dither_(dither),
      choice_(packing) {}

bool TLpcmTrackReader::Start() {
    const TPackingVerdict verdict =
        choice_ == TLpcmPackingChoice::Auto ? JudgePacking() : TPackingVerdict::Unknown;
    if (!demuxer_.NextPacketOf(trackId_, packet_))
        return false;
    format_ = packet_.format;
    // What the outputs say of themselves is written before their samples: the first packet decides.
    emphasis_ = emphasis_ || format_.emphasis;
    havePacket_ = true;
    TLpcmPacking packing = choice_ == TLpcmPackingChoice::Quads ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
    if (choice_ == TLpcmPackingChoice::Auto && PackingsDiffer(format_)) {
        quadsDetected_ = verdict == TPackingVerdict::Quads;
        packingUnknown_ = verdict == TPackingVerdict::Unknown;
        packing = quadsDetected_ ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
    }
    decoder_ = std::make_unique<TLpcmDecoder>(format_, reduceTo16_, dither_, packing);
    return true;
}

// The track read ahead by a demultiplexer of its own, up to a change of format, a verdict or as far as
// the judgement goes; the source then starts again for the conversion, so that every packet is read in
// its place (chapters are found on the way).
TPackingVerdict TLpcmTrackReader::JudgePacking() {
    TPackingVerdict verdict = TPackingVerdict::Unknown;
    {
        TProgramStreamDemuxer ahead(source_);
        TAudioPacket packet;
        if (ahead.NextPacketOf(trackId_, packet) && PackingsDiffer(packet.format)) {
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
    if (!havePacket_ && !demuxer_.NextPacketOf(trackId_, packet_))
        return false;
    havePacket_ = false;
    if (!packet_.format.SameLayout(format_)) {
        formatChanged_ = true;
        return false;
    }
    emphasis_ = emphasis_ || packet_.format.emphasis;
    block_ = packet_;
    samples = decoder_->Decode(packet_.data, static_cast<size_t>(packet_.size));
    return true;
}

double TLpcmTrackReader::ChangeSeconds() const {
    return decoder_ ? static_cast<double>(decoder_->Frames()) / format_.sampleRate : 0;
}
