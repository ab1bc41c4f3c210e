#include "disc/VobBlocks.h"

#include "disc/DiscContent.h"
#include "mmio/ReadOnlyFile.h"

#include <algorithm>
#include <climits>
#include <dvdread/dvd_reader.h>

namespace {

class TDvdreadVobs : public TVobBlocks {
public:
    TDvdreadVobs(TDvdReader reader, dvd_file_t* file) : reader_(std::move(reader)), file_(file) {}
    ~TDvdreadVobs() override { DVDCloseFile(file_); }
    TDvdreadVobs(const TDvdreadVobs&) = delete;
    TDvdreadVobs& operator=(const TDvdreadVobs&) = delete;

    int64_t Blocks() const override { return DVDFileSize(file_); }
    int64_t Read(int64_t block, int64_t count, uint8_t* into) override {
        // libdvdread addresses blocks with an int.
        if (block < 0 || block > INT_MAX || count < 0)
            return -1;
        return DVDReadBlocks(file_, static_cast<int>(block), static_cast<size_t>(count), into);
    }

private:
    TDvdReader reader_; // outlives the file
    dvd_file_t* file_;
};

class TImageVobs : public TVobBlocks {
public:
    TImageVobs(std::shared_ptr<const TReadOnlyFile> image, int64_t firstSector, int64_t blocks)
        : image_(std::move(image)), firstSector_(firstSector), blocks_(blocks) {}

    int64_t Blocks() const override { return blocks_; }
    int64_t Read(int64_t block, int64_t count, uint8_t* into) override {
        if (block < 0 || count < 0)
            return -1;
        count = std::min(count, std::max<int64_t>(blocks_ - block, 0));
        // Inside the image as it was opened, so that the byte offset fits.
        const int64_t got = image_->ReadAt((firstSector_ + block) * kDiscBlockBytes, into,
                                           static_cast<size_t>(count * kDiscBlockBytes));
        return got < 0 ? -1 : got / kDiscBlockBytes;
    }

private:
    std::shared_ptr<const TReadOnlyFile> image_;
    int64_t firstSector_, blocks_;
};

} // namespace

std::unique_ptr<TVobBlocks> OpenDvdreadVobs(const TDvdReader& reader, int titleSet) {
    dvd_file_t* file = DVDOpenFile(reader.get(), titleSet, DVD_READ_TITLE_VOBS);
    if (file == nullptr)
        return nullptr;
    return std::make_unique<TDvdreadVobs>(reader, file);
}

std::unique_ptr<TVobBlocks> OpenImageVobs(std::shared_ptr<const TReadOnlyFile> image, int64_t firstSector,
                                          int64_t blocks) {
    if (image == nullptr || firstSector < 0 || blocks < 0 || firstSector > image->Size() / kDiscBlockBytes ||
        blocks > image->Size() / kDiscBlockBytes - firstSector)
        return nullptr;
    return std::make_unique<TImageVobs>(std::move(image), firstSector, blocks);
}
