#include "output/ClassicWaveSink.h"

#include "engine/OutputHeader.h"

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
    header_ = BuildWaveHeader(static_cast<int32_t>(format.sampleRate), FormatIndexOf(format), 0);
    header_.RiffSize = 0;
    file.Write(&header_, kWaveHeaderBytes);
    return true;
}

bool TClassicWaveSink::Finish(int64_t dataBytes) {
    SetWaveDataSize(header_, static_cast<uint32_t>(dataBytes));
    constexpr auto kSizeBytes = static_cast<int32_t>(sizeof header_.RiffSize);
    return file_->SeekTo(kRiffSizeOffset) == kRiffSizeOffset &&
           file_->Write(&header_.RiffSize, kSizeBytes) == kSizeBytes &&
           file_->SeekTo(kDataSizeOffset) == kDataSizeOffset &&
           file_->Write(&header_.DataSize, kSizeBytes) == kSizeBytes;
}
