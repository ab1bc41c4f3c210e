#include "dvd/LpcmTrackReader.h"

#include "dvd/PackingDetector.h"

TLpcmTrackReader::TLpcmTrackReader(TStreamSource& source, uint8_t trackId, bool reduceTo16, bool dither,
                                   TLpcmPackingChoice packing)
    : demuxer_(source), trackId_(trackId), reduceTo16_(reduceTo16), dither_(dither), choice_(packing) {}

bool TLpcmTrackReader::Start() {
    if (!demuxer_.NextPacketOf(trackId_, packet_))
        return false;
    format_ = packet_.format;
    havePacket_ = true;
    startPacket_ = packet_;
    startPacket_.data = nullptr;
    TLpcmPacking packing = choice_ == TLpcmPackingChoice::Quads ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
    if (choice_ == TLpcmPackingChoice::Auto && PackingsDiffer(format_)) {
        // The packets of the first sample times, up to a change of format, which stays for Next.
        const size_t wanted = static_cast<size_t>(kPackingFrames) * format_.BytesPerTwoFrames() / 2;
        while (havePacket_ && packet_.format.SameLayout(format_) && start_.size() < wanted) {
            emphasis_ = emphasis_ || packet_.format.emphasis;
            start_.insert(start_.end(), packet_.data, packet_.data + packet_.size);
            havePacket_ = demuxer_.NextPacketOf(trackId_, packet_);
        }
        holdingStart_ = true;
        packing = DetectPacking(format_, start_.data(), start_.size());
        quadsDetected_ = packing == TLpcmPacking::Quads;
    }
    decoder_ = std::make_unique<TLpcmDecoder>(format_, reduceTo16_, dither_, packing);
    return true;
}

bool TLpcmTrackReader::Next(std::span<const uint8_t>& samples) {
    if (!decoder_ || formatChanged_)
        return false;
    if (holdingStart_) {
        holdingStart_ = false;
        block_ = startPacket_;
        samples = decoder_->Decode(start_.data(), start_.size());
        std::vector<uint8_t>().swap(start_);
        return true;
    }
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
