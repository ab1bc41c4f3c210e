#pragma once

#include "TestFiles.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

// Builds MPEG-2 program streams for the tests, one pack or packet at a time.
class ProgramStreamWriter {
public:
    // A 14-byte MPEG-2 pack header with `stuffing` stuffing bytes.
    ProgramStreamWriter& Pack(int stuffing = 0) {
        Put({0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3,
             static_cast<uint8_t>(0xF8 | stuffing)});
        bytes_.insert(bytes_.end(), static_cast<size_t>(stuffing), 0xFF);
        return *this;
    }
    // A packet with a stated length that may differ from the body (a cut or damaged packet).
    ProgramStreamWriter& RawPacket(uint8_t streamId, const Bytes& body,
                                   std::optional<uint16_t> statedLength = {}) {
        const uint16_t length = statedLength.value_or(static_cast<uint16_t>(body.size()));
        Put({0x00, 0x00, 0x01, streamId, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
        bytes_.insert(bytes_.end(), body.begin(), body.end());
        return *this;
    }
    // A PES packet with an MPEG-2 header, with a PTS when given.
    ProgramStreamWriter& Pes(uint8_t streamId, const Bytes& payload, std::optional<int64_t> pts = {}) {
        Bytes body{0x81, static_cast<uint8_t>(pts ? 0x80 : 0x00), static_cast<uint8_t>(pts ? 5 : 0)};
        if (pts) {
            const int64_t t = *pts;
            body.insert(body.end(), {static_cast<uint8_t>(0x21 | (t >> 29 & 0x0E)),
                                     static_cast<uint8_t>(t >> 22), static_cast<uint8_t>(t >> 14 | 1),
                                     static_cast<uint8_t>(t >> 7), static_cast<uint8_t>(t << 1 | 1)});
        }
        body.insert(body.end(), payload.begin(), payload.end());
        return RawPacket(streamId, body);
    }
    // An LPCM packet of sub-stream `subId` (A0-A7) with the 7-byte header for the format.
    // `pointer`: the first access unit pointer, 4 for the first audio byte (as FFmpeg writes it always).
    ProgramStreamWriter& Lpcm(uint8_t subId, int bits, int rate, int channels, const Bytes& audio,
                              bool emphasis = false, std::optional<int64_t> pts = {}, uint16_t pointer = 4) {
        const int quantisation = (bits - 16) / 4;
        const int rateCode = rate == 48000 ? 0 : rate == 96000 ? 1 : rate == 44100 ? 2 : 3;
        Bytes payload{subId,
                      1,
                      static_cast<uint8_t>(pointer >> 8),
                      static_cast<uint8_t>(pointer),
                      static_cast<uint8_t>(emphasis ? 0x80 : 0),
                      static_cast<uint8_t>(quantisation << 6 | rateCode << 4 | (channels - 1)),
                      0x80};
        payload.insert(payload.end(), audio.begin(), audio.end());
        return Pes(0xBD, payload, pts);
    }
    // Another private stream 1 audio packet (AC-3 80-87, DTS 88-8F): id, frame count, pointer, frames.
    ProgramStreamWriter& PrivateAudio(uint8_t subId, size_t frameBytes) {
        Bytes payload{subId, 1, 0, 1};
        payload.insert(payload.end(), frameBytes, 0x0B);
        return Pes(0xBD, payload);
    }
    // A video packet whose body is full of start-code-like bytes, and a padding packet.
    ProgramStreamWriter& Video(size_t bytes) {
        Bytes body(bytes, 0x00);
        for (size_t i = 2; i + 1 < bytes; i += 7)
            body[i] = 1, body[i + 1] = 0xBA;
        return Pes(0xE0, body);
    }
    ProgramStreamWriter& Padding(size_t bytes) { return RawPacket(0xBE, Bytes(bytes, 0xFF)); }
    ProgramStreamWriter& Raw(const Bytes& bytes) {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    ProgramStreamWriter& End() { return Raw({0x00, 0x00, 0x01, 0xB9}); }

    const Bytes& Result() const { return bytes_; }
    Bytes Take() { return std::move(bytes_); }

private:
    void Put(std::initializer_list<uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes); }

    Bytes bytes_;
};

// An LPCM track cut into packs as a DVD authoring tool cuts it: `payload` bytes of audio a pack (2011: no
// layout's groups fit whole), each packet pointing at the first audio frame (1/600 s) that begins in it,
// stamped with that frame's time from 1 s on; a pack in which no frame begins has neither.
inline std::vector<Bytes> AuthoredLpcmPacks(const Bytes& audio, int bits, int rate, int channels,
                                            size_t payload = 2011) {
    const size_t frameBytes = static_cast<size_t>(bits * channels * (rate / 600) / 8);
    std::vector<Bytes> packs;
    for (size_t at = 0; at < audio.size(); at += payload) {
        const Bytes chunk(audio.begin() + static_cast<std::ptrdiff_t>(at),
                          audio.begin() + static_cast<std::ptrdiff_t>(std::min(audio.size(), at + payload)));
        const size_t frame = (at + frameBytes - 1) / frameBytes;
        const size_t first = frame * frameBytes - at;
        std::optional<int64_t> pts;
        if (first < chunk.size())
            pts = 90000 + static_cast<int64_t>(frame) * 150;
        packs.push_back(ProgramStreamWriter()
                            .Pack()
                            .Lpcm(0xA0, bits, rate, channels, chunk, false, pts,
                                  pts ? static_cast<uint16_t>(first + 4) : uint16_t{0})
                            .Take());
    }
    return packs;
}
