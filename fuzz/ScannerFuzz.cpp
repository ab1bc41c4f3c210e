// The input scanner over arbitrary files. Besides not crashing, it must keep three promises: an offset it
// returns lies just after a "data" chunk header that is really in the file; it is the same whatever buffer
// the file object uses; and what it stores in the header record comes from the file.
#include "FuzzSupport.h"

#include "run/ConversionRun.h"
#include "wave/WaveScanner.h"

#include <cstring>

namespace {

struct ScanResult {
    int64_t offset;
    TWaveHeader header;
};

ScanResult Scan(const std::string& path, int32_t bufferSize) {
    ScanResult result{};
    std::memset(&result.header, 0xA5, sizeof result.header);
    TMMIOFile file;
    file.SetFileName(path);
    file.SetModes(true, 0, 2);
    file.OpenExisting();
    FUZZ_CHECK(file.Opened());
    file.SetBufferSize(bufferSize);
    bool readFailed = true;
    result.offset = FindWaveData(file, result.header, readFailed);
    FUZZ_CHECK(!readFailed); // a plain file on a working disk reads
    return result;
}

uint32_t U32At(const uint8_t* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = ScratchPath("scan.wav");
    WriteWholeFile(path, data, size);

    const ScanResult scan = Scan(path, TConversionRun::kBufferSize);
    const auto fileSize = static_cast<int64_t>(size);
    if (scan.offset != 0) {
        FUZZ_CHECK(scan.offset >= 20 && scan.offset <= fileSize);
        FUZZ_CHECK(std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WAVE", 4) == 0);
        const uint8_t* chunk = data + scan.offset - 8;
        FUZZ_CHECK(std::memcmp(chunk, "data", 4) == 0);
        FUZZ_CHECK(scan.header.DataId == kDataId && scan.header.DataSize == U32At(chunk + 4));
    }
    if (scan.header.FmtId == kFmtId)
        FUZZ_CHECK(scan.header.FmtSize <= 16);

    // A small buffer (none at all for 0) makes every read and move cross buffer boundaries.
    const ScanResult small = Scan(path, static_cast<int32_t>(size % 37));
    FUZZ_CHECK(small.offset == scan.offset);
    FUZZ_CHECK(std::memcmp(&small.header, &scan.header, sizeof scan.header) == 0);
    return 0;
}
