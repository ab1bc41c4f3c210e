#include "disc/AobAudioReader.h"

#include "dvd/AobPcm.h"
#include "texts/AudioDiscTexts.h"

#include <optional>

namespace {

class TAobPcmPacketDecoder : public TAobPacketDecoder {
public:
    bool Decode(const TAudioPacket& packet, std::span<const uint8_t>& samples, std::string& error) override {
        samples = {};
        TAobPcmHeader header;
        if (packet.size < 0 || !ParseAobPcmHeader(packet.data, static_cast<size_t>(packet.size), header)) {
            damaged_ += packet.size;
            return true;
        }
        if (!decoder_) {
            if (!header.format.OneRate()) {
                error = msg::kAudioPcmMixedRates;
                return false;
            }
            layout_ = header.format;
            decoder_.emplace(layout_);
            format_.channels = static_cast<uint16_t>(decoder_->Channels());
            format_.sampleRate = static_cast<uint32_t>(decoder_->SampleRate());
            format_.validBits = static_cast<uint16_t>(decoder_->OutputBits());
            format_.containerBytes = static_cast<uint16_t>(decoder_->ContainerBytes());
            format_.channelMask = decoder_->ChannelMask();
        } else if (!(header.format == layout_)) {
            error = msg::kAudioFormatChanged;
            return false;
        }
        emphasis_ = emphasis_ || header.emphasis;
        samples = decoder_->Decode(packet.data + header.audioOffset,
                                   static_cast<size_t>(packet.size) - header.audioOffset);
        return true;
    }

    bool Finish(std::span<const uint8_t>& samples, std::string&) override {
        samples = {};
        if (decoder_)
            damaged_ += static_cast<int64_t>(decoder_->PendingBytes());
        return true;
    }

    const TAudioSampleFormat& Format() const override { return format_; }
    int64_t DamagedBytes() const override { return damaged_; }
    bool Emphasis() const override { return emphasis_; }

private:
    std::optional<TAobPcmDecoder> decoder_;
    TAobPcmFormat layout_;
    TAudioSampleFormat format_;
    int64_t damaged_ = 0;
    bool emphasis_ = false;
};

} // namespace

std::unique_ptr<TAobPacketDecoder> MakeAobPcmPacketDecoder() {
    return std::make_unique<TAobPcmPacketDecoder>();
}

uint8_t FirstAobSubStream(TStreamSource& source) {
    TProgramStreamDemuxer demuxer(source);
    demuxer.SetAudioObjectPackets(true);
    TAudioPacket packet;
    while (demuxer.NextAudioPacket(packet))
        if (packet.id == kAobPcmId || packet.id == kAobMlpId)
            return packet.id;
    return 0;
}

TAobAudioReader::TAobAudioReader(TStreamSource& source, uint8_t subStreamId)
    : demuxer_(source), id_(subStreamId),
      decoder_(subStreamId == kAobMlpId ? MakeAobMlpPacketDecoder() : MakeAobPcmPacketDecoder()) {
    demuxer_.SetAudioObjectPackets(true);
}

// The next samples from the packets, or from what the decoder holds at the end; false at the end or on an
// error.
bool TAobAudioReader::Pull(std::span<const uint8_t>& samples) {
    samples = {};
    if (ended_)
        return false;
    TAudioPacket packet;
    if (demuxer_.NextPacketOf(id_, packet)) {
        if (!decoder_->Decode(packet, samples, error_)) {
            ended_ = true;
            return false;
        }
        return true;
    }
    ended_ = true;
    if (demuxer_.ReadFailed()) {
        error_ = demuxer_.Source().Error().empty() ? msg::kAudioDiscReadFailed : demuxer_.Source().Error();
        return false;
    }
    return decoder_->Finish(samples, error_) && !samples.empty();
}

bool TAobAudioReader::Start() {
    std::span<const uint8_t> samples;
    while (Pull(samples)) {
        if (!samples.empty()) {
            first_ = samples;
            holdingFirst_ = true;
            return true;
        }
    }
    if (error_.empty())
        error_ = msg::kAudioNoSamples;
    return false;
}

bool TAobAudioReader::Next(std::span<const uint8_t>& samples) {
    if (holdingFirst_) {
        holdingFirst_ = false;
        samples = first_;
    } else if (!Pull(samples)) {
        return false;
    }
    frames_ += static_cast<int64_t>(samples.size() / Format().BlockAlign());
    return true;
}
