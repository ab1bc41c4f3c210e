#include "output/ClassicWaveSink.h"

#include "engine/OutputHeader.h"
#include "output/WaveWriter.h"

namespace {

// The header describes a format by its index: 0 is 16 bits, 1 is 20 valid bits in 3-byte containers.
int FormatIndexOf(const TAudioFormat& format) {
    return format.containerBytes == 2 ? 0 : 1;
}

} // namespace

int64_t TClassicWaveSink::FrameLimit(const TAudioFormat& format) const {
    // A group is two sample times.
    return 2 * (FormatIndexOf(format) == 0 ? kMaxGroups16 : kMaxGroups24);
}

// The header goes out with both sizes 0; the real ones follow when the output is kept. Its write result
// is not examined: the buffer takes it, and a failure shows at the first samples.
bool TClassicWaveSink::Begin(TMMIOFile& file, const TAudioFormat& format) {
    file_ = &file;
    extensibleBytes_ = 0;
    if (extensible_ && FormatIndexOf(format) == 1) {
        std::vector<uint8_t> header = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
        const std::vector<uint8_t> fmt = WaveFormatChunk(format);
        header.insert(header.end(), fmt.begin(), fmt.end());
        header.insert(header.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
        extensibleBytes_ = static_cast<int64_t>(header.size());
        file.Write(header.data(), static_cast<int32_t>(header.size()));
        return true;
    }
    header_ = BuildWaveHeader(static_cast<int32_t>(format.sampleRate), FormatIndexOf(format), 0);
    header_.RiffSize = 0;
    file.Write(&header_, kWaveHeaderBytes);
    return true;
}

bool TClassicWaveSink::Finish(int64_t dataBytes) {
    if (extensibleBytes_ != 0) {
        const uint32_t sizes[2] = {static_cast<uint32_t>(extensibleBytes_ - 8 + dataBytes),
                                   static_cast<uint32_t>(dataBytes)};
        const int64_t dataSizeOffset = extensibleBytes_ - 4;
        return file_->SeekTo(kRiffSizeOffset) == kRiffSizeOffset && file_->Write(&sizes[0], 4) == 4 &&
               file_->SeekTo(dataSizeOffset) == dataSizeOffset && file_->Write(&sizes[1], 4) == 4;
    }
    SetWaveDataSize(header_, static_cast<uint32_t>(dataBytes));
    constexpr auto kSizeBytes = static_cast<int32_t>(sizeof header_.RiffSize);
    return file_->SeekTo(kRiffSizeOffset) == kRiffSizeOffset &&
           file_->Write(&header_.RiffSize, kSizeBytes) == kSizeBytes &&
           file_->SeekTo(kDataSizeOffset) == kDataSizeOffset &&
           file_->Write(&header_.DataSize, kSizeBytes) == kSizeBytes;
}
