#include "dvd/AobPcm.h"

#include "dvd/AobChannels.h"

#include <algorithm>
#include <cstring>

int AobRate(int code) {
    switch (code) {
    case 0x0:
        return 48000;
    case 0x1:
        return 96000;
    case 0x2:
        return 192000;
    case 0x8:
        return 44100;
    case 0x9:
        return 88200;
    case 0xA:
        return 176400;
    default:
        return 0;
    }
}

int AobBits(int code) {
    return code >= 0 && code <= 2 ? 16 + 4 * code : 0;
}

bool ParseAobPcmHeader(const uint8_t* packet, size_t size, TAobPcmHeader& header) {
    if (size < kAobPcmHeaderMinBytes)
        return false;
    const size_t audioOffset = 4 + size_t{packet[3]};
    if (audioOffset < kAobPcmHeaderMinBytes || audioOffset > size)
        return false;
    const TAobChannelAssignment* assignment = AobChannelAssignment(packet[10] & 0x1F);
    if (assignment == nullptr)
        return false;
    TAobPcmFormat format;
    format.assignment = packet[10] & 0x1F;
    for (int g = 0; g < 2; ++g) {
        const int bitsCode = g == 0 ? packet[7] >> 4 : packet[7] & 0xF;
        const int rateCode = g == 0 ? packet[8] >> 4 : packet[8] & 0xF;
        // F in either code marks group 2 as absent: the unit then carries group 1 alone.
        if (g == 1 && (bitsCode == 0xF || rateCode == 0xF || assignment->group2 == 0)) {
            format.bits[1] = format.rate[1] = 0;
            continue;
        }
        format.bits[g] = AobBits(bitsCode);
        format.rate[g] = AobRate(rateCode);
        if (format.bits[g] == 0 || format.rate[g] == 0)
            return false;
    }
    header.format = format;
    header.audioOffset = audioOffset;
    header.emphasis = (packet[6] & 0x80) != 0;
    return true;
}

TAobPcmDecoder::TAobPcmDecoder(const TAobPcmFormat& format) {
    const TAobChannelAssignment& assignment = *AobChannelAssignment(format.assignment);
    const bool withGroup2 = format.HasGroup2();
    const int groupChannels[2] = {assignment.group1, withGroup2 ? assignment.group2 : 0};
    channels_ = groupChannels[0] + groupChannels[1];
    rate_ = format.rate[0];
    outputBits_ = std::max(format.bits[0], format.bits[1]);
    mask_ = ::ChannelMask(assignment, withGroup2);
    const int container = ContainerBytes();
    outputUnitBytes_ = 2 * channels_ * container;
    const std::vector<int> positions = OutputPositions(assignment, withGroup2);

    // Group 2's block comes first in the unit.
    int blockStart = 0;
    for (const int g : {1, 0}) {
        const int c = groupChannels[g];
        const int bits = format.bits[g];
        const int firstChannel = g == 0 ? 0 : groupChannels[0];
        for (int k = 0; k < 2 * c; ++k) {
            const int period = k / c;
            const int channel = firstChannel + k % c;
            TStep step{};
            step.high = static_cast<uint16_t>(blockStart + 2 * k);
            step.out = static_cast<uint16_t>((period * channels_ + positions[static_cast<size_t>(channel)]) *
                                             container);
            if (bits == 24) {
                step.low = static_cast<uint16_t>(blockStart + 4 * c + k);
                step.mask = 0xFF;
            } else if (bits == 20) {
                step.low = static_cast<uint16_t>(blockStart + 4 * c + k / 2);
                step.shift = (k & 1) ? 4 : 0;
                step.mask = 0xF0;
            }
            steps_.push_back(step);
        }
        blockStart += c * bits / 4;
    }
    unitBytes_ = blockStart;
    pending_.reserve(static_cast<size_t>(unitBytes_));
}

uint8_t* TAobPcmDecoder::DecodeUnits(const uint8_t* in, size_t units, uint8_t* out) const {
    if (ContainerBytes() == 2) {
        for (size_t u = 0; u < units; ++u, in += unitBytes_, out += outputUnitBytes_)
            for (const TStep& step : steps_) {
                out[step.out] = in[step.high + 1];
                out[step.out + 1] = in[step.high];
            }
        return out;
    }
    for (size_t u = 0; u < units; ++u, in += unitBytes_, out += outputUnitBytes_)
        for (const TStep& step : steps_) {
            out[step.out] = static_cast<uint8_t>(in[step.low] << step.shift) & step.mask;
            out[step.out + 1] = in[step.high + 1];
            out[step.out + 2] = in[step.high];
        }
    return out;
}

std::span<const uint8_t> TAobPcmDecoder::Decode(const uint8_t* data, size_t size) {
    const size_t unit = static_cast<size_t>(unitBytes_);
    const size_t units = (pending_.size() + size) / unit;
    block_.resize(units * static_cast<size_t>(outputUnitBytes_));
    uint8_t* out = block_.data();
    if (!pending_.empty()) {
        const size_t fill = std::min(unit - pending_.size(), size);
        pending_.insert(pending_.end(), data, data + fill);
        data += fill;
        size -= fill;
        if (pending_.size() < unit)
            return {};
        out = DecodeUnits(pending_.data(), 1, out);
        pending_.clear();
    }
    const size_t whole = size / unit;
    out = DecodeUnits(data, whole, out);
    pending_.assign(data + whole * unit, data + size);
    frames_ += 2 * static_cast<int64_t>(units);
    return {block_.data(), static_cast<size_t>(out - block_.data())};
}
