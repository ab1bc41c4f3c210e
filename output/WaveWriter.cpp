#include "output/WaveWriter.h"

#include "mmio/MMIOFile.h"
#include "wave/WaveHeader.h"

namespace {

constexpr uint32_t kJunkId = FourCC("JUNK");
constexpr uint32_t kRf64Id = FourCC("RF64");
constexpr uint32_t kDs64Id = FourCC("ds64");
// ds64 body: RIFF size, data size and sample count as 64-bit values, and an empty table's length.
constexpr uint32_t kDs64Bytes = 28;
constexpr uint16_t kExtensibleTag = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM after its first two bytes (the format tag 1).
constexpr uint8_t kPcmSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                           0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Plain PCM names one bit count for both the container and the samples; tools read a 20 there as
// 20-bit containers (flac refuses it). 20 valid bits and more than two channels need the extensible form.
bool IsExtensible(const TAudioFormat& format) {
    return format.channels > 2 || format.validBits != format.containerBytes * 8;
}

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void Put64(std::vector<uint8_t>& out, uint64_t value) {
    Put32(out, static_cast<uint32_t>(value));
    Put32(out, static_cast<uint32_t>(value >> 32));
}

int64_t PaddedDataBytes(int64_t dataBytes) {
    return dataBytes + (dataBytes & 1);
}

} // namespace

int WaveWriterHeaderBytes(const TAudioFormat& format) {
    return 12 + 8 + static_cast<int>(kDs64Bytes) + static_cast<int>(WaveFormatChunk(format).size()) + 8;
}

std::vector<uint8_t> WaveFormatChunk(const TAudioFormat& format) {
    const bool extensible = IsExtensible(format);
    std::vector<uint8_t> out;
    Put32(out, kFmtId);
    Put32(out, extensible ? 40 : 18);
    Put16(out, extensible ? kExtensibleTag : 1);
    Put16(out, format.channels);
    Put32(out, format.sampleRate);
    Put32(out, format.sampleRate * format.BlockAlign());
    Put16(out, format.BlockAlign());
    Put16(out, format.containerBytes * 8u);
    if (extensible) {
        // The valid bits, the mask and the PCM sub-format.
        Put16(out, 22);
        Put16(out, format.validBits);
        // Mono and stereo without a mask of their own: FC, or FL FR.
        Put32(out,
              format.channelMask != 0 || format.channels > 2 ? format.channelMask : 0x5u - format.channels);
        Put16(out, 1);
        out.insert(out.end(), std::begin(kPcmSubFormatTail), std::end(kPcmSubFormatTail));
    } else {
        Put16(out, 0);
    }
    return out;
}

namespace {

std::vector<uint8_t> BuildHeader(const TAudioFormat& format, int64_t dataBytes, bool provisional,
                                 int64_t trailerBytes = 0) {
    const int headerBytes = WaveWriterHeaderBytes(format);
    const auto riffSize = static_cast<uint64_t>(headerBytes - 8 + PaddedDataBytes(dataBytes) + trailerBytes);
    const bool rf64 = riffSize > 0xFFFFFFFFull;
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(headerBytes));
    Put32(out, rf64 ? kRf64Id : kRiffId);
    Put32(out, rf64 ? 0xFFFFFFFFu : static_cast<uint32_t>(provisional ? 0 : riffSize));
    Put32(out, kWaveId);
    Put32(out, rf64 ? kDs64Id : kJunkId);
    Put32(out, kDs64Bytes);
    if (rf64) {
        Put64(out, riffSize);
        Put64(out, static_cast<uint64_t>(dataBytes));
        Put64(out, static_cast<uint64_t>(dataBytes) / format.BlockAlign());
        Put32(out, 0);
    } else {
        out.resize(out.size() + kDs64Bytes, 0);
    }
    const std::vector<uint8_t> fmt = WaveFormatChunk(format);
    out.insert(out.end(), fmt.begin(), fmt.end());
    Put32(out, kDataId);
    Put32(out, rf64 ? 0xFFFFFFFFu : static_cast<uint32_t>(dataBytes));
    return out;
}

} // namespace

std::vector<uint8_t> ProvisionalWaveHeader(const TAudioFormat& format) {
    return BuildHeader(format, 0, true);
}

std::vector<uint8_t> BuildWaveWriterHeader(const TAudioFormat& format, int64_t dataBytes,
                                           int64_t trailerBytes) {
    return BuildHeader(format, dataBytes, false, trailerBytes);
}

bool FinishWaveFile(TMMIOFile& file, const TAudioFormat& format, int64_t dataBytes,
                    const std::vector<uint8_t>& trailer) {
    const std::vector<uint8_t> header =
        BuildWaveWriterHeader(format, dataBytes, static_cast<int64_t>(trailer.size()));
    if ((dataBytes & 1) || !trailer.empty()) {
        std::vector<uint8_t> tail(static_cast<size_t>(dataBytes & 1), 0);
        tail.insert(tail.end(), trailer.begin(), trailer.end());
        const int64_t end = static_cast<int64_t>(header.size()) + dataBytes;
        const auto length = static_cast<int32_t>(tail.size());
        if (file.SeekTo(end) != end || file.Write(tail.data(), length) != length)
            return false;
    }
    const auto size = static_cast<int32_t>(header.size());
    return file.SeekTo(0) == 0 && file.Write(header.data(), size) == size;
}
