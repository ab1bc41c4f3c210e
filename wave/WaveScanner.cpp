#include "wave/WaveScanner.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

struct ChunkHeader {
    uint32_t id;
    uint32_t size;
};

// Bytes to move past the rest of a chunk: its size less what was read, plus the pad byte of an odd size.
int64_t SkipLength(uint32_t size, uint32_t alreadyRead) {
    return static_cast<int64_t>(size) - alreadyRead + (size & 1u);
}

} // namespace

int64_t FindWaveData(TMMIOFile& file, TWaveHeader& header) {
    bool readFailed = false;
    return FindWaveData(file, header, readFailed);
}

int64_t FindWaveData(TMMIOFile& file, TWaveHeader& header, bool& readFailed) {
    return FindWaveData(file, header, readFailed, [] { return true; });
}

int64_t FindWaveData(TMMIOFile& file, TWaveHeader& header, bool& readFailed,
                     const std::function<bool()>& keepGoing) {
    // Every read ends the scan unless it brings all it asked for; only -1 is a read error.
    const auto read = [&file, &readFailed](void* buffer, int32_t count) {
        const int32_t n = file.Read(buffer, count);
        readFailed = n < 0;
        return n;
    };
    readFailed = false;
    auto* bytes = reinterpret_cast<char*>(&header);
    if (file.Rewind() != 0)
        return 0;
    if (read(bytes, 12) < 12)
        return 0;
    if (header.RiffId != kRiffId || header.WaveId != kWaveId)
        return 0;

    ChunkHeader chunk{};
    while (keepGoing() && read(&chunk, sizeof chunk) == static_cast<int32_t>(sizeof chunk)) {
        if (chunk.id == kFmtId) {
            const uint32_t n = std::min<uint32_t>(chunk.size, 16);
            header.FmtId = chunk.id;
            header.FmtSize = n;
            if (read(bytes + offsetof(TWaveHeader, FormatTag), static_cast<int32_t>(n)) <
                static_cast<int32_t>(n))
                return 0;
            if (file.SeekBy(SkipLength(chunk.size, n)) == -1)
                return 0;
        } else if (chunk.id == kDataId) {
            header.DataId = chunk.id;
            header.DataSize = chunk.size;
            return file.Position();
        } else if (file.SeekBy(SkipLength(chunk.size, 0)) == -1) {
            return 0;
        }
    }
    return 0;
}
