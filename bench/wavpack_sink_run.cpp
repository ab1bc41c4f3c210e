// The WavPack sink alone: a WAVE file's samples written through it as a run writes them, in the run's
// pieces and with its output buffer, for timing beside the wavpack tool on the same file.
//
//   wavpack_sink_run IN.wav OUT.wv [LEVEL]   LEVEL as --level gives it (default: the sink's, high)
#include "mmio/MMIOFile.h"
#include "output/WavPackSink.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <malloc.h>

namespace {

constexpr int32_t kOutputBufferSize = 256 * 1024; // a disc run's before its buffers grew
constexpr size_t kPieceBytes = 32768;             // about what a run hands its sink at a time

uint32_t U32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// The format and where the samples lie in a plain RIFF WAVE file (PCM or extensible PCM).
bool ReadFormat(FILE* in, TAudioFormat& format, uint32_t& dataBytes) {
    uint8_t header[12];
    if (std::fread(header, 1, 12, in) != 12 || std::memcmp(header, "RIFF", 4) ||
        std::memcmp(header + 8, "WAVE", 4))
        return false;
    bool haveFormat = false;
    uint8_t chunk[8];
    while (std::fread(chunk, 1, 8, in) == 8) {
        const uint32_t size = U32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0) {
            dataBytes = size;
            return haveFormat;
        }
        std::vector<uint8_t> body(size + (size & 1));
        if (std::fread(body.data(), 1, body.size(), in) != body.size())
            return false;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            format.channels = U16(&body[2]);
            format.sampleRate = U32(&body[4]);
            format.containerBytes = static_cast<uint16_t>(U16(&body[12]) / format.channels);
            format.validBits = U16(&body[14]);
            if (U16(&body[0]) == 0xFFFE && size >= 24) {
                format.validBits = U16(&body[18]);
                format.channelMask = U32(&body[20]);
            }
            haveFormat = true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: wavpack_sink_run IN.wav OUT.wv [LEVEL]\n");
        return 2;
    }
    // libwavpack allocates and frees a few hundred KiB for every block. In this small program's heap
    // glibc then gives that memory back at each block and faults it in again (a fifth of the time, in
    // system time and page faults); in oxlip-convert's heap it does not. Fixed thresholds keep the figure
    // to the sink's own work. MALLOC_DEFAULT=1 leaves glibc's defaults.
    if (!std::getenv("MALLOC_DEFAULT")) {
        mallopt(M_MMAP_THRESHOLD, 4 << 20);
        mallopt(M_TRIM_THRESHOLD, 8 << 20);
    }
    FILE* in = std::fopen(argv[1], "rb");
    TAudioFormat format;
    uint32_t dataBytes = 0;
    if (!in || !ReadFormat(in, format, dataBytes)) {
        std::fprintf(stderr, "%s: no WAVE file this driver reads\n", argv[1]);
        return 1;
    }
    TSinkSettings settings;
    if (argc > 3)
        settings.level = std::atoi(argv[3]);
    TMMIOFile out;
    out.SetFileName(argv[2]);
    out.SetModes(true, 1, 1);
    out.CreateNew();
    out.SetBufferSize(kOutputBufferSize);
    const std::unique_ptr<TAudioSink> sink = MakeWavPackSink(settings, {});
    if (!sink->Begin(out, format))
        return 1;
    const size_t piece = kPieceBytes / format.BlockAlign() * format.BlockAlign();
    std::vector<uint8_t> buffer(piece);
    int64_t written = 0;
    while (written < dataBytes) {
        const size_t want = std::min<size_t>(piece, dataBytes - static_cast<size_t>(written));
        const size_t got = std::fread(buffer.data(), 1, want, in);
        if (got == 0 || !sink->Write(buffer.data(), static_cast<int32_t>(got)))
            break;
        written += static_cast<int64_t>(got);
    }
    std::fclose(in);
    if (written != dataBytes || !sink->Finish(written)) {
        sink->Abandon();
        std::fprintf(stderr, "writing %s failed\n", argv[2]);
        return 1;
    }
    out.Close();
    return 0;
}
