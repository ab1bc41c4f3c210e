// The program-stream path alone: demultiplex and decode a VOB-like file to a sink, as the conversion does
// minus the output file.
//
//   dvd_bench make FILE MEGABYTES     writes a stream of 2048-byte packs: three video packets per 24-bit
//                                     stereo LPCM packet, as on a DVD
//   dvd_bench run FILE [BUFFER]       demultiplexes and decodes it to /dev/null, with the file object's
//                                     buffer at BUFFER bytes (default: the converter's), and prints MB/s
#include "dvd/FileStreamSource.h"
#include "dvd/LpcmLayout.h"
#include "dvd/ProgramStreamDemuxer.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kPackBytes = 2048;

void Put(std::vector<uint8_t>& out, std::initializer_list<uint8_t> bytes) {
    out.insert(out.end(), bytes);
}

// One 2048-byte pack holding one PES packet of the stream id with `header` before a filler payload.
std::vector<uint8_t> MakePack(uint8_t streamId, const std::vector<uint8_t>& header, uint8_t fill) {
    std::vector<uint8_t> pack;
    Put(pack, {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89, 0xC3, 0xF8});
    const size_t length = kPackBytes - pack.size() - 6;
    Put(pack, {0x00, 0x00, 0x01, streamId, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)});
    Put(pack, {0x81, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01});
    pack.insert(pack.end(), header.begin(), header.end());
    for (uint32_t i = 0; pack.size() < kPackBytes; ++i)
        pack.push_back(static_cast<uint8_t>(fill + i * 131));
    return pack;
}

int Make(const char* path, long megabytes) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return 1;
    const std::vector<uint8_t> video = MakePack(0xE0, {}, 0x5A);
    std::vector<uint8_t> chunk;
    const int64_t total = megabytes * 1'000'000;
    int64_t written = 0;
    for (uint8_t n = 0; written < total; ++n) {
        chunk.clear();
        // 24-bit, 48 kHz, stereo; the audio bytes differ per packet.
        const std::vector<uint8_t> audio = MakePack(0xBD, {0xA0, 0x01, 0x00, 0x04, 0x00, 0x81, 0x80}, n);
        chunk.insert(chunk.end(), audio.begin(), audio.end());
        for (int v = 0; v < 3; ++v)
            chunk.insert(chunk.end(), video.begin(), video.end());
        if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size()))
            return 1;
        written += static_cast<int64_t>(chunk.size());
    }
    return ::close(fd) == 0 ? 0 : 1;
}

int Run(const char* path, int32_t bufferSize) {
    const auto start = std::chrono::steady_clock::now();
    TMMIOFile file;
    file.SetFileName(path);
    file.SetModes(true, 0, 2);
    file.OpenExisting();
    TFileStreamSource source(file);
    if (bufferSize > 0)
        file.SetBufferSize(bufferSize);
    TProgramStreamDemuxer demuxer(source);
    const int sink = ::open("/dev/null", O_WRONLY);
    TAudioPacket packet;
    int64_t outputBytes = 0;
    std::unique_ptr<TLpcmDecoder> decoder;
    while (demuxer.NextPacketOf(0xA0, packet)) {
        if (!decoder)
            decoder = std::make_unique<TLpcmDecoder>(packet.format, false, false);
        const auto out = decoder->Decode(packet.data, static_cast<size_t>(packet.size));
        if (::write(sink, out.data(), out.size()) != static_cast<ssize_t>(out.size()))
            return 1;
        outputBytes += static_cast<int64_t>(out.size());
    }
    ::close(sink);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%lld input bytes, %lld output bytes, %.3f s, %.0f MB/s, buffer %d\n",
                static_cast<long long>(demuxer.Position()), static_cast<long long>(outputBytes), seconds,
                static_cast<double>(demuxer.Position()) / seconds / 1e6, file.BufferSize());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "make") == 0)
        return Make(argv[2], std::atol(argv[3]));
    if (argc >= 3 && std::strcmp(argv[1], "run") == 0)
        return Run(argv[2], argc >= 4 ? std::atoi(argv[3]) : 0);
    std::fprintf(stderr, "usage: dvd_bench make FILE MEGABYTES | dvd_bench run FILE [BUFFER]\n");
    return 2;
}
