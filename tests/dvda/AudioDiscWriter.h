#pragma once

// Authors small DVD-Audio discs for the tests: AUDIO_TS.IFO, ATS_01_0.IFO, their BUPs and the AOB packs,
// written from the byte layouts listed at the top of disc/AudioTsIfo.h and dvd/AobPcm.h, independently of
// the reader's code. PCM samples are given per
// track in stream order (group 1's channels, then group 2's), each a signed value of its group's bits;
// MLP titles take the raw MLP bytes of each track as FFmpeg's encoder wrote them.

#include "TestFiles.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace dvda {

constexpr size_t kSector = 2048;

struct TPcmLayout {
    int bits[2] = {16, 0}; // group 2: 0 when absent
    int rate[2] = {48000, 0};
    int assignment = 1;
    int group1 = 2; // channels of each group
    int group2 = 0;
    bool emphasis = false; // every packet's pre-emphasis flag
    int Channels() const { return group1 + group2; }
};

struct TAuthoredTitle {
    bool mlp = false;
    TPcmLayout layout; // for MLP: what its attribute record states
    // PCM: per track, frames * Channels() values in stream order.
    std::vector<std::vector<int32_t>> pcmTracks;
    // MLP: per track, whole access units, and the sample periods they hold.
    std::vector<Bytes> mlpTracks;
    std::vector<int64_t> mlpFrames;
};

struct TAuthoredDisc {
    std::vector<TAuthoredTitle> titles; // all in title set 1
    int64_t sectorsPerAob = 0;          // > 0: the AOB is split into files of this many sectors
    std::string textName;               // the manager's text data disc name; none when empty
    bool scrambled = false;             // every audio pack carries the scrambling-control bits
    uint32_t basePts = 585;
};

inline int RateCode(int rate) {
    switch (rate) {
    case 48000:
        return 0;
    case 96000:
        return 1;
    case 192000:
        return 2;
    case 44100:
        return 8;
    case 88200:
        return 9;
    case 176400:
        return 10;
    }
    throw std::runtime_error("no such rate");
}

inline void PutU16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}
inline void PutU32(Bytes& b, size_t at, uint32_t v) {
    PutU16(b, at, v >> 16);
    PutU16(b, at + 2, v & 0xFFFF);
}

// The units of a PCM track: per two sample periods, group 2's block then group 1's; a block is the high
// words of period n, then of n + 1, then the low bytes or nibbles in the same order.
inline Bytes PcmUnits(const TPcmLayout& layout, const std::vector<int32_t>& samples) {
    const int channels = layout.Channels();
    const size_t frames = samples.size() / static_cast<size_t>(channels);
    if (frames % 2 != 0)
        throw std::runtime_error("PCM tracks hold whole units of two sample periods");
    Bytes out;
    for (size_t f = 0; f < frames; f += 2) {
        for (const int g : {1, 0}) {
            const int count = g == 0 ? layout.group1 : layout.group2;
            const int first = g == 0 ? 0 : layout.group1;
            const int bits = layout.bits[g];
            std::vector<uint32_t> values;
            for (int n = 0; n < 2; ++n)
                for (int c = 0; c < count; ++c)
                    values.push_back(static_cast<uint32_t>(samples[(f + n) * channels + first + c]));
            for (const uint32_t v : values) { // high words
                const uint32_t high = v >> (bits - 16);
                out.push_back(static_cast<uint8_t>(high >> 8));
                out.push_back(static_cast<uint8_t>(high));
            }
            if (bits == 24)
                for (const uint32_t v : values)
                    out.push_back(static_cast<uint8_t>(v));
            if (bits == 20)
                for (size_t k = 0; k < values.size(); k += 2)
                    out.push_back(static_cast<uint8_t>((values[k] & 0xF) << 4 | (values[k + 1] & 0xF)));
        }
    }
    return out;
}

inline int PcmUnitBytes(const TPcmLayout& layout) {
    return layout.group1 * layout.bits[0] / 4 + layout.group2 * layout.bits[1] / 4;
}

class TAobWriter {
public:
    explicit TAobWriter(bool scrambled) : scrambled_(scrambled) {}

    // One 2048-byte pack: a private stream 1 packet of `payload`, and padding to the pack's end.
    void Pack(const Bytes& payload, int64_t pts) {
        Bytes pack = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8};
        const bool hasPts = pts >= 0;
        const size_t pesLength = 3 + (hasPts ? 5 : 0) + payload.size();
        pack.insert(pack.end(),
                    {0x00, 0x00, 0x01, 0xBD, static_cast<uint8_t>(pesLength >> 8),
                     static_cast<uint8_t>(pesLength), static_cast<uint8_t>(scrambled_ ? 0x91 : 0x81),
                     static_cast<uint8_t>(hasPts ? 0x80 : 0x00), static_cast<uint8_t>(hasPts ? 5 : 0)});
        if (hasPts)
            pack.insert(pack.end(), {static_cast<uint8_t>(0x21 | (pts >> 29 & 0x0E)),
                                     static_cast<uint8_t>(pts >> 22), static_cast<uint8_t>(pts >> 14 | 1),
                                     static_cast<uint8_t>(pts >> 7), static_cast<uint8_t>(pts << 1 | 1)});
        pack.insert(pack.end(), payload.begin(), payload.end());
        const size_t left = kSector - pack.size();
        if (left > 0) {
            if (left < 6)
                throw std::runtime_error("a pack's rest is too small for a padding packet");
            pack.insert(pack.end(), {0x00, 0x00, 0x01, 0xBE, static_cast<uint8_t>((left - 6) >> 8),
                                     static_cast<uint8_t>(left - 6)});
            pack.resize(kSector, 0xFF);
        }
        aob_.insert(aob_.end(), pack.begin(), pack.end());
    }
    uint32_t Sectors() const { return static_cast<uint32_t>(aob_.size() / kSector); }
    const Bytes& Bytes_() const { return aob_; }

private:
    bool scrambled_;
    Bytes aob_;
};

// Room for the payload of a pack whose packet has a PTS: 2048 - 14 (pack) - 6 - 3 - 5.
constexpr size_t kPayloadRoom = 2020;

inline void WritePcmTrack(TAobWriter& aob, const TPcmLayout& layout, const std::vector<int32_t>& samples,
                          int64_t firstFrame, uint32_t basePts) {
    const Bytes units = PcmUnits(layout, samples);
    const size_t unit = static_cast<size_t>(PcmUnitBytes(layout));
    constexpr size_t kHeader = 12; // sub-stream id to dynamic range, no stuffing
    size_t at = 0;
    int64_t frame = firstFrame;
    while (at < units.size()) {
        const size_t count = std::min((kPayloadRoom - kHeader) / unit, (units.size() - at) / unit);
        const size_t leftover = kPayloadRoom - kHeader - count * unit;
        const size_t stuffing = leftover <= 7 ? leftover : 0;
        Bytes payload = {0xA0,
                         0x00,
                         0x00,
                         static_cast<uint8_t>(8 + stuffing),
                         0x00,
                         static_cast<uint8_t>(8 + stuffing - 1),
                         static_cast<uint8_t>(layout.emphasis ? 0x80 : 0x00),
                         static_cast<uint8_t>((layout.bits[0] - 16) / 4 << 4 |
                                              (layout.group2 ? (layout.bits[1] - 16) / 4 : 0xF)),
                         static_cast<uint8_t>(RateCode(layout.rate[0]) << 4 |
                                              (layout.group2 ? RateCode(layout.rate[1]) : 0xF)),
                         0x00,
                         static_cast<uint8_t>(layout.assignment),
                         0x80};
        payload.insert(payload.end(), stuffing, 0x00);
        payload.insert(payload.end(), units.begin() + static_cast<std::ptrdiff_t>(at),
                       units.begin() + static_cast<std::ptrdiff_t>(at + count * unit));
        aob.Pack(payload, basePts + static_cast<int64_t>(std::llround(frame * 90000.0 / layout.rate[0])));
        at += count * unit;
        frame += 2 * static_cast<int64_t>(count);
    }
}

inline void WriteMlpTrack(TAobWriter& aob, const Bytes& mlp, int64_t firstPts) {
    constexpr size_t kHeader = 10; // A1, two bytes, the length 6, six bytes
    size_t at = 0;
    bool first = true;
    while (at < mlp.size()) {
        size_t take = std::min(kPayloadRoom - kHeader, mlp.size() - at);
        const size_t room = (first ? kPayloadRoom : kPayloadRoom + 5) - kHeader;
        take = std::min(take, room);
        // The rest of the pack must take a padding packet of at least 6 bytes.
        if (room - take > 0 && room - take < 6)
            take = room - 6;
        Bytes payload = {0xA1, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
        payload.insert(payload.end(), mlp.begin() + static_cast<std::ptrdiff_t>(at),
                       mlp.begin() + static_cast<std::ptrdiff_t>(at + take));
        aob.Pack(payload, first ? firstPts : -1);
        at += take;
        first = false;
    }
}

struct TWrittenTitle {
    std::vector<uint32_t> firstPts, lengthPts;
    std::vector<std::pair<uint32_t, uint32_t>> cells; // one per track
    uint32_t lengthTotal = 0;
};

inline Bytes TitleSetIfo(const TAuthoredDisc& disc, const std::vector<TWrittenTitle>& written,
                         uint32_t aobSectors) {
    // Attribute records: one per title (titles of one layout could share one).
    size_t tableBytes = 8 + 8 * disc.titles.size();
    for (const TWrittenTitle& t : written)
        tableBytes += 16 + 20 * t.cells.size() + 12 * t.cells.size();
    const size_t sectors = 1 + (tableBytes + kSector - 1) / kSector;
    Bytes ifo(sectors * kSector, 0);
    const std::string magic = "DVDAUDIO-ATS";
    std::copy(magic.begin(), magic.end(), ifo.begin());
    PutU32(ifo, 12, static_cast<uint32_t>(2 * sectors + aobSectors - 1));
    PutU32(ifo, 28, static_cast<uint32_t>(sectors - 1));
    PutU16(ifo, 32, 0x0012);
    PutU32(ifo, 128, 0x7FF);
    PutU32(ifo, 196, static_cast<uint32_t>(sectors));
    PutU32(ifo, 204, 1);
    for (size_t t = 0; t < disc.titles.size() && t < 8; ++t) {
        const TPcmLayout& l = disc.titles[t].layout;
        const size_t at = 256 + 16 * t;
        ifo[at] = disc.titles[t].mlp ? 1 : 0;
        ifo[at + 2] =
            static_cast<uint8_t>((l.bits[0] - 16) / 4 << 4 | (l.group2 ? (l.bits[1] - 16) / 4 : 0xF));
        ifo[at + 3] = static_cast<uint8_t>(RateCode(l.rate[0]) << 4 | (l.group2 ? RateCode(l.rate[1]) : 0xF));
        ifo[at + 4] = static_cast<uint8_t>(l.assignment);
    }
    const size_t table = kSector;
    PutU16(ifo, table, static_cast<uint32_t>(disc.titles.size()));
    PutU32(ifo, table + 4, static_cast<uint32_t>(tableBytes - 1));
    size_t record = 8 + 8 * disc.titles.size();
    for (size_t t = 0; t < written.size(); ++t) {
        const TWrittenTitle& w = written[t];
        const size_t index = table + 8 + 8 * t;
        ifo[index] = static_cast<uint8_t>(0x80 | (t + 1));
        PutU32(ifo, index + 4, static_cast<uint32_t>(record));
        const size_t r = table + record;
        const size_t tracks = w.cells.size();
        ifo[r + 2] = static_cast<uint8_t>(tracks);
        ifo[r + 3] = static_cast<uint8_t>(tracks);
        PutU32(ifo, r + 4, w.lengthTotal);
        PutU16(ifo, r + 10, 0x0010);
        PutU16(ifo, r + 12, static_cast<uint32_t>(16 + 20 * tracks));
        for (size_t k = 0; k < tracks; ++k) {
            const size_t at = r + 16 + 20 * k;
            ifo[at] = static_cast<uint8_t>((k == 0 ? 0xC0 : 0x00) | (t % 8) << 3);
            ifo[at + 4] = static_cast<uint8_t>(k + 1);
            PutU32(ifo, at + 6, w.firstPts[k]);
            PutU32(ifo, at + 10, w.lengthPts[k]);
            const size_t cell = r + 16 + 20 * tracks + 12 * k;
            ifo[cell] = 1;
            PutU32(ifo, cell + 4, w.cells[k].first);
            PutU32(ifo, cell + 8, w.cells[k].second);
        }
        record += 16 + 20 * tracks + 12 * tracks;
    }
    return ifo;
}

inline Bytes ManagerIfo(const TAuthoredDisc& disc, const std::vector<TWrittenTitle>& written) {
    Bytes ifo(4 * kSector, 0);
    const std::string magic = "DVDAUDIO-AMG";
    std::copy(magic.begin(), magic.end(), ifo.begin());
    PutU32(ifo, 12, 4 * 2 - 1);
    PutU32(ifo, 28, 3);
    PutU16(ifo, 32, 0x0012);
    PutU16(ifo, 38, 1);
    PutU16(ifo, 40, 1);
    ifo[42] = 1;
    ifo[47] = 1;
    ifo[62] = 0;
    ifo[63] = 1;
    PutU32(ifo, 128, 0x7FF);
    PutU32(ifo, 196, 1);
    PutU32(ifo, 200, 2);
    for (const size_t table : {kSector, 2 * kSector}) {
        PutU16(ifo, table, static_cast<uint32_t>(written.size()));
        PutU16(ifo, table + 2, static_cast<uint32_t>(4 + 14 * written.size() - 1));
        for (size_t t = 0; t < written.size(); ++t) {
            const size_t at = table + 4 + 14 * t;
            ifo[at] = static_cast<uint8_t>(0x80 | (t + 1));
            ifo[at + 1] = ifo[at + 2] = static_cast<uint8_t>(written[t].cells.size());
            PutU32(ifo, at + 4, written[t].lengthTotal);
            ifo[at + 8] = 1;
            ifo[at + 9] = static_cast<uint8_t>(t + 1);
            PutU32(ifo, at + 10, 8);
        }
    }
    if (!disc.textName.empty()) {
        PutU32(ifo, 212, 3);
        std::copy(disc.textName.begin(),
                  disc.textName.begin() +
                      static_cast<std::ptrdiff_t>(std::min<size_t>(12, disc.textName.size())),
                  ifo.begin() + 3 * kSector);
        PutU32(ifo, 3 * kSector + 16, 19);
    }
    return ifo;
}

// Writes the disc into `audioTs` (created): AUDIO_TS.IFO/.BUP, ATS_01_0.IFO/.BUP and the AOB files.
inline void WriteAudioDisc(const std::string& audioTs, const TAuthoredDisc& disc) {
    std::filesystem::create_directories(audioTs);
    TAobWriter aob(disc.scrambled);
    std::vector<TWrittenTitle> written;
    for (const TAuthoredTitle& title : disc.titles) {
        TWrittenTitle w;
        const int rate = title.layout.rate[0];
        int64_t frame = 0;
        const size_t tracks = title.mlp ? title.mlpTracks.size() : title.pcmTracks.size();
        for (size_t k = 0; k < tracks; ++k) {
            const uint32_t first = aob.Sectors();
            const int64_t pts = disc.basePts + std::llround(frame * 90000.0 / rate);
            int64_t frames;
            if (title.mlp) {
                WriteMlpTrack(aob, title.mlpTracks[k], pts);
                frames = title.mlpFrames[k];
            } else {
                WritePcmTrack(aob, title.layout, title.pcmTracks[k], frame, disc.basePts);
                frames = static_cast<int64_t>(title.pcmTracks[k].size()) / title.layout.Channels();
            }
            w.firstPts.push_back(static_cast<uint32_t>(pts));
            w.lengthPts.push_back(static_cast<uint32_t>(std::llround((frame + frames) * 90000.0 / rate) -
                                                        std::llround(frame * 90000.0 / rate)));
            w.cells.emplace_back(first, aob.Sectors() - 1);
            frame += frames;
        }
        w.lengthTotal = static_cast<uint32_t>(std::llround(frame * 90000.0 / rate));
        written.push_back(w);
    }
    const Bytes ats = TitleSetIfo(disc, written, aob.Sectors());
    const Bytes amg = ManagerIfo(disc, written);
    WriteFile(audioTs + "/AUDIO_TS.IFO", amg);
    WriteFile(audioTs + "/AUDIO_TS.BUP", amg);
    WriteFile(audioTs + "/ATS_01_0.IFO", ats);
    WriteFile(audioTs + "/ATS_01_0.BUP", ats);
    const Bytes& all = aob.Bytes_();
    const size_t perFile =
        disc.sectorsPerAob > 0 ? static_cast<size_t>(disc.sectorsPerAob) * kSector : all.size();
    for (size_t part = 0, at = 0; at < all.size(); ++part, at += perFile) {
        char name[32];
        std::snprintf(name, sizeof name, "/ATS_01_%zu.AOB", part + 1);
        WriteFile(audioTs + name,
                  Bytes(all.begin() + static_cast<std::ptrdiff_t>(at),
                        all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), at + perFile))));
    }
}

// A tone per channel, each channel at its own frequency (so that a channel put in the wrong place shows),
// as signed values of its group's bits at about half of full scale, with the channel's number in the low
// bits.
inline std::vector<int32_t> Tones(const TPcmLayout& layout, int64_t frames, double baseHz) {
    std::vector<int32_t> samples;
    for (int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < layout.Channels(); ++c) {
            const int bits = layout.bits[c < layout.group1 ? 0 : 1];
            const double amplitude = std::ldexp(1.0, bits - 2);
            const double phase = 2 * M_PI * baseHz * (c + 1) * static_cast<double>(f) / layout.rate[0];
            samples.push_back(static_cast<int32_t>(std::lround(amplitude * std::sin(phase))) + c);
        }
    return samples;
}

} // namespace dvda
