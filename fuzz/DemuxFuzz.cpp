// The program-stream demultiplexer and the LPCM layouts over arbitrary bytes. Besides not crashing, they
// must keep their promises: every byte of the input is either handed out as audio, passed over inside a
// well-formed packet, or counted as skipped, and never more than the input holds; what comes out does not
// depend on how the source's reads are cut; a decoder of either packing turns exactly its whole groups into
// samples; the packing a track reader detects reads the same as that packing forced; and an authored track
// with a pack lost, blanked, repeated or swapped reads as the clean one but for one stretch of silence.
#include "FuzzSupport.h"
#include "dvd/ProgramStreamWriter.h"

#include "dvd/LpcmLayout.h"
#include "dvd/LpcmTrackReader.h"
#include "dvd/PackingDetector.h"
#include "dvd/ProgramStreamDemuxer.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

class BytesSource : public TStreamSource {
public:
    BytesSource(const uint8_t* data, size_t size, int64_t piece) : data_(data), size_(size), piece_(piece) {}
    int64_t Read(uint8_t* buffer, int64_t count) override {
        const int64_t n = std::min({count, piece_, static_cast<int64_t>(size_) - at_});
        if (n > 0)
            std::memcpy(buffer, data_ + at_, static_cast<size_t>(n));
        at_ += n;
        return n;
    }
    int64_t Size() const override { return static_cast<int64_t>(size_); }
    bool Restart() override {
        at_ = 0;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    int64_t piece_;
    int64_t at_ = 0;
};

struct Decoded {
    std::vector<uint8_t> samples; // every LPCM track's output, in packet order
    int64_t audioBytes = 0;
    int64_t skipped = 0;
    bool truncated = false;
};

Decoded Run(const uint8_t* data, size_t size, int64_t piece, bool reduce, bool dither, TLpcmPacking packing) {
    BytesSource source(data, size, piece);
    TProgramStreamDemuxer demuxer(source);
    Decoded result;
    // One decoder per track; a change of layout starts a new one, as a new output would.
    std::map<uint8_t, std::unique_ptr<TLpcmDecoder>> decoders;
    std::map<uint8_t, TLpcmFormat> formats;
    TAudioPacket packet;
    while (demuxer.NextAudioPacket(packet)) {
        FUZZ_CHECK(packet.size >= 0 && packet.size <= 65535);
        result.audioBytes += packet.size;
        if (packet.codec != TAudioCodec::Lpcm)
            continue;
        FUZZ_CHECK(packet.format.channels >= 1 && packet.format.channels <= 8);
        auto& decoder = decoders[packet.id];
        if (!decoder || !formats[packet.id].SameLayout(packet.format)) {
            decoder = std::make_unique<TLpcmDecoder>(packet.format, reduce, dither, packing);
            formats[packet.id] = packet.format;
        }
        const int64_t framesBefore = decoder->Frames();
        const size_t pendingBefore = decoder->PendingBytes();
        const auto out = decoder->Decode(packet.data, static_cast<size_t>(packet.size));
        const size_t groups = (pendingBefore + static_cast<size_t>(packet.size)) / decoder->GroupBytes();
        FUZZ_CHECK(decoder->PendingBytes() == (pendingBefore + packet.size) % decoder->GroupBytes());
        FUZZ_CHECK(decoder->Frames() - framesBefore == static_cast<int64_t>(groups) * decoder->GroupFrames());
        FUZZ_CHECK(out.size() == groups * decoder->GroupFrames() * decoder->Channels() *
                                     static_cast<size_t>(decoder->OutputContainerBytes()));
        result.samples.insert(result.samples.end(), out.begin(), out.end());
    }
    result.skipped = demuxer.SkippedBytes();
    result.truncated = demuxer.Truncated();
    FUZZ_CHECK(!demuxer.ReadFailed());
    FUZZ_CHECK(demuxer.Position() == static_cast<int64_t>(size));
    FUZZ_CHECK(result.audioBytes + result.skipped <= static_cast<int64_t>(size));
    return result;
}

Bytes ReadTrack(const std::vector<Bytes>& packs, int64_t& breaks) {
    Bytes stream;
    for (const Bytes& pack : packs)
        stream.insert(stream.end(), pack.begin(), pack.end());
    BytesSource source(stream.data(), stream.size(), 4096);
    TLpcmTrackReader reader(source, 0xA0, false, false, TLpcmPackingChoice::Pairs);
    Bytes samples;
    std::span<const uint8_t> block;
    if (reader.Start())
        while (reader.Next(block))
            samples.insert(samples.end(), block.begin(), block.end());
    breaks = reader.BreakCount();
    return samples;
}

// The input's bytes as the audio of an authored track of the layout its first byte names, then damaged
// at a pack its next bytes name: the tail after the damage is the clean tail, in its place.
void CheckDamagedTrack(const uint8_t* data, size_t size) {
    if (size < 3)
        return;
    const int bits = 16 + 4 * (data[0] % 3);
    const int channels = 1 + (data[0] >> 2) % 8;
    Bytes audio(64 * 1024);
    for (size_t i = 0; i < audio.size(); ++i)
        audio[i] = static_cast<uint8_t>(data[i % size] + i / size * 37);
    std::vector<Bytes> packs = AuthoredLpcmPacks(audio, bits, 48000, channels);
    int64_t breaks = 0;
    const Bytes clean = ReadTrack(packs, breaks);
    FUZZ_CHECK(breaks == 0);
    // Past the packets whose pointers and stamps are judged.
    const size_t at = 20 + data[2] % (packs.size() - 22);
    switch (data[1] % 4) {
    case 0:
        packs.erase(packs.begin() + static_cast<std::ptrdiff_t>(at));
        break;
    case 1:
        std::fill(packs[at].begin(), packs[at].end(), data[1] >> 2 & 1 ? 0x00 : 0xFF);
        break;
    case 2:
        packs.insert(packs.begin() + static_cast<std::ptrdiff_t>(at), packs[at]);
        break;
    default:
        std::swap(packs[at], packs[at + 1]);
    }
    const Bytes damaged = ReadTrack(packs, breaks);
    FUZZ_CHECK(breaks == 1 && damaged.size() == clean.size());
    const size_t frameBytes = static_cast<size_t>(channels * (bits == 16 ? 2 : 3));
    size_t first = clean.size(), last = 0;
    for (size_t i = 0; i < clean.size(); ++i)
        if (clean[i] != damaged[i])
            first = std::min(first, i), last = i;
    if (first == clean.size())
        return;
    // Silence between, no longer than a pack, a frame and a group or two.
    for (size_t i = first / frameBytes * frameBytes; i <= last; ++i)
        FUZZ_CHECK(damaged[i] == 0);
    FUZZ_CHECK((last - first) / frameBytes <= 2011 * 8 / static_cast<size_t>(bits * channels) + 80 + 4);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const bool reduce = size > 0 && (data[size - 1] & 1);
    const bool dither = size > 0 && (data[size - 1] & 2);
    const TLpcmPacking packing = size > 0 && (data[size - 1] & 4) ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
    const Decoded whole = Run(data, size, 1 << 20, reduce, dither, packing);
    const Decoded cut = Run(data, size, static_cast<int64_t>(size % 13) + 1, reduce, dither, packing);
    FUZZ_CHECK(whole.samples == cut.samples);
    FUZZ_CHECK(whole.skipped == cut.skipped && whole.truncated == cut.truncated);

    // The first LPCM track as a conversion reads it: every frame it hands out (silence too) comes out, and
    // the packing it detected, forced, gives the same samples.
    BytesSource source(data, size, 4096);
    TLpcmTrackReader reader(source, 0xA0, reduce, dither);
    if (reader.Start()) {
        std::vector<uint8_t> samples;
        std::span<const uint8_t> block;
        while (reader.Next(block))
            samples.insert(samples.end(), block.begin(), block.end());
        const TLpcmDecoder& decoder = reader.Decoder();
        FUZZ_CHECK(samples.size() == static_cast<size_t>(reader.Frames()) * decoder.Channels() *
                                         static_cast<size_t>(decoder.OutputContainerBytes()));
        FUZZ_CHECK(reader.Demuxer().SkippedBytes() <= whole.skipped);
        FUZZ_CHECK(reader.QuadsDetected() == (reader.Packing() == TLpcmPacking::Quads));
        BytesSource again(data, size, 777);
        TLpcmTrackReader forced(again, 0xA0, reduce, dither,
                                reader.QuadsDetected() ? TLpcmPackingChoice::Quads
                                                       : TLpcmPackingChoice::Pairs);
        std::vector<uint8_t> forcedSamples;
        if (forced.Start())
            while (forced.Next(block))
                forcedSamples.insert(forcedSamples.end(), block.begin(), block.end());
        FUZZ_CHECK(forcedSamples == samples);
    }

    CheckDamagedTrack(data, size);

    // The detection over the bytes as any layout: quads only with its evidence.
    if (size > 0) {
        const TLpcmFormat format{data[0] & 1 ? 24 : 20, 48000, 1 + (data[0] >> 1 & 7), false};
        TPackingEvidence evidence;
        if (DetectPacking(format, data, size, &evidence) == TLpcmPacking::Quads)
            FUZZ_CHECK(PackingsDiffer(format) && evidence.changingSamples >= kPackingMinChanging &&
                       evidence.quadsRoughness * kPackingFactor < evidence.pairsRoughness);
    }

    // A stream that is a program stream by its first bytes never loses a clean first pack to resync.
    if (IsProgramStream(data, std::min(size, kProgramStreamProbeBytes)))
        FUZZ_CHECK(whole.skipped < static_cast<int64_t>(size));
    return 0;
}
