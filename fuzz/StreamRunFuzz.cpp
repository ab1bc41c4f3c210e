// A whole program-stream conversion with a scripted host over arbitrary streams.
//
// Input layout: byte 0 chooses the run (bit 0 16-bit output, bit 1 dither, bits 2-3 the LPCM track
// asked for, bits 4-5 the answer to the stop question), byte 1 the number of gauge steps after which
// STOP! is pressed (255: never), the rest is the stream.
//
// Whatever the stream, the run must leave it as it was, and leave either no output or a WAVE file whose
// header describes exactly the samples it holds (the track's samples as the track reader decodes them)
// and the chunks that follow them.
#include "FakeHost.h"
#include "FuzzSupport.h"

#include "dvd/LpcmTrackReader.h"
#include "dvd/ProgramStreamDemuxer.h"
#include "run/StreamRun.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <unistd.h>

namespace {

class BytesSource : public TStreamSource {
public:
    explicit BytesSource(const std::string& bytes) : bytes_(bytes) {}
    int64_t Read(uint8_t* buffer, int64_t count) override {
        const int64_t n = std::min(count, static_cast<int64_t>(bytes_.size()) - at_);
        std::memcpy(buffer, bytes_.data() + at_, static_cast<size_t>(n));
        at_ += n;
        return n;
    }
    int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
    bool Restart() override {
        at_ = 0;
        return true;
    }

private:
    const std::string& bytes_;
    int64_t at_ = 0;
};

uint32_t U32At(const std::string& bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// The n-th LPCM track's samples as the track reader gives them, independently of the run.
std::string TrackSamples(const std::string& stream, int track, bool reduceTo16, bool dither,
                         TLpcmPackingChoice packing) {
    std::set<uint8_t> ids;
    {
        BytesSource source(stream);
        TProgramStreamDemuxer demuxer(source);
        TAudioPacket packet;
        while (demuxer.NextAudioPacket(packet))
            if (packet.codec == TAudioCodec::Lpcm)
                ids.insert(packet.id);
    }
    if (track > static_cast<int>(ids.size()))
        return {};
    BytesSource source(stream);
    TLpcmTrackReader reader(source, *std::next(ids.begin(), track - 1), reduceTo16, dither, packing);
    std::string samples;
    std::span<const uint8_t> block;
    if (reader.Start())
        while (reader.Next(block))
            samples.append(reinterpret_cast<const char*>(block.data()), block.size());
    return samples;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t control = data[0];
    const std::string stream(reinterpret_cast<const char*>(data + 2), size - 2);
    const bool reduceTo16 = control & 1;
    const bool dither = control & 2;
    const int track = 1 + (control >> 2 & 3);

    FakeHost host;
    host.input = ScratchPath("movie.vob");
    host.output = ScratchPath("movie.wav");
    host.formatIndex = reduceTo16 ? 0 : 1;
    host.dither = dither;
    constexpr TLpcmPackingChoice kChoices[4] = {TLpcmPackingChoice::Auto, TLpcmPackingChoice::Pairs,
                                                TLpcmPackingChoice::Quads, TLpcmPackingChoice::Auto};
    host.lpcmPacking = kChoices[control >> 6];
    host.stopAnswers = {static_cast<TStopAnswer>((control >> 4) & 3)};
    host.stopAfterGroups = data[1] == 255 ? -1 : data[1];
    WriteWholeFile(host.input, reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
    ::unlink(host.output.c_str());

    TStreamRun run(host, host.Request());
    // The gauge counts bytes here and seldom lands on the step exactly: STOP! is pressed once it is past it.
    host.onPump = [&](int64_t) {
        if (host.stopAfterGroups >= 0 && host.gaugeProgress >= host.stopAfterGroups) {
            host.stopAfterGroups = -1;
            run.StopQuestion();
        }
    };
    const TRunResult result = run.ExecuteFile(track);

    std::string after;
    FUZZ_CHECK(ReadWholeFile(host.input, after) && after == stream);
    std::string output;
    const bool kept = ReadWholeFile(host.output, output);
    FUZZ_CHECK(kept == (result == TRunResult::Completed || result == TRunResult::Stopped));
    if (!kept)
        return 0;

    // RIFF, a JUNK placeholder, fmt, data, then whole chunks (what the file says of itself): the sizes say
    // exactly what the file holds.
    FUZZ_CHECK(output.size() >= 82 && output.compare(0, 4, "RIFF") == 0 &&
               output.compare(12, 4, "JUNK") == 0);
    FUZZ_CHECK(U32At(output, 4) == output.size() - 8);
    const size_t dataAt = output.find("data", 48);
    FUZZ_CHECK(dataAt != std::string::npos);
    const uint32_t dataBytes = U32At(output, dataAt + 4);
    FUZZ_CHECK(dataBytes <= output.size() - dataAt - 8);
    size_t at = dataAt + 8 + dataBytes + (dataBytes & 1);
    while (at < output.size()) {
        FUZZ_CHECK(output.size() - at >= 8);
        const uint32_t length = U32At(output, at + 4);
        FUZZ_CHECK(length <= output.size() - at - 8);
        at += 8 + length + (length & 1);
    }
    FUZZ_CHECK(at == output.size());
    const auto blockAlign =
        static_cast<uint16_t>(U32At(output, 68) & 0xFFFF); // after RIFF, JUNK and 12 bytes of fmt
    FUZZ_CHECK(blockAlign > 0 && dataBytes % blockAlign == 0);

    // Every sample is the track's; a stopped run holds a beginning of them.
    const std::string expected = TrackSamples(stream, track, reduceTo16, dither, host.lpcmPacking);
    const std::string samples = output.substr(dataAt + 8, dataBytes);
    FUZZ_CHECK(samples.size() <= expected.size() && expected.compare(0, samples.size(), samples) == 0);
    FUZZ_CHECK(result == TRunResult::Stopped || samples.size() == expected.size());
    return 0;
}
