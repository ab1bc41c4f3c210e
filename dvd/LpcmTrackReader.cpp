#include "dvd/LpcmTrackReader.h"

TLpcmTrackReader::TLpcmTrackReader(TStreamSource& source, uint8_t trackId, bool reduceTo16, bool dither)
    : demuxer_(source), trackId_(trackId), reduceTo16_(reduceTo16), dither_(dither) {}

bool TLpcmTrackReader::Start() {
    if (!demuxer_.NextPacketOf(trackId_, packet_))
        return false;
    format_ = packet_.format;
    decoder_ = std::make_unique<TLpcmDecoder>(format_, reduceTo16_, dither_);
    havePacket_ = true;
    return true;
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
    samples = decoder_->Decode(packet_.data, static_cast<size_t>(packet_.size));
    return true;
}

double TLpcmTrackReader::ChangeSeconds() const {
    return decoder_ ? static_cast<double>(decoder_->Frames()) / format_.sampleRate : 0;
}
