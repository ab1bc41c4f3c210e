#include "disc/AobSource.h"

#include "disc/Scrambling.h"
#include "texts/AudioDiscTexts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int64_t kSector = 2048;
// 512 sectors (1 MiB) per read, as for DVD-Video titles.
constexpr int64_t kSectorsPerRead = 512;

} // namespace

std::vector<const TAudioTsFile*> AobFiles(const TAudioTsVolume& volume, int titleSet) {
    std::vector<const TAudioTsFile*> files;
    for (int part = 1; part <= 9; ++part) {
        char name[16];
        std::snprintf(name, sizeof name, "ATS_%02d_%d.AOB", titleSet % 100, part);
        const TAudioTsFile* file = volume.File(name);
        if (file == nullptr)
            break;
        files.push_back(file);
    }
    return files;
}

int64_t AobSectors(const std::vector<const TAudioTsFile*>& files) {
    int64_t sectors = 0;
    for (const TAudioTsFile* file : files)
        sectors += file->size / kSector;
    return sectors;
}

TAobSource::TAobSource(std::shared_ptr<const TAudioTsVolume> volume, std::vector<const TAudioTsFile*> files,
                       std::vector<TAudioDiscCell> cells)
    : volume_(std::move(volume)), files_(std::move(files)), cells_(std::move(cells)),
      spare_(static_cast<size_t>(kSectorsPerRead * kSector)) {
    int64_t start = 0;
    for (const TAudioTsFile* file : files_) {
        fileStarts_.push_back(start);
        start += file->size / kSector;
    }
    for (const TAudioDiscCell& cell : cells_)
        size_ += (int64_t{cell.lastSector} - cell.firstSector + 1) * kSector;
    if (!cells_.empty())
        nextSector_ = cells_.front().firstSector;
}

bool TAobSource::Restart() {
    cell_ = 0;
    nextSector_ = cells_.empty() ? 0 : cells_.front().firstSector;
    spareAt_ = spareEnd_ = 0;
    error_.clear();
    return true;
}

int64_t TAobSource::Fail(const char* message) {
    if (error_.empty())
        error_ = message;
    return -1;
}

int64_t TAobSource::ReadSectors(uint8_t* into, int64_t maxSectors) {
    while (cell_ < cells_.size() && nextSector_ > cells_[cell_].lastSector) {
        if (++cell_ < cells_.size())
            nextSector_ = cells_[cell_].firstSector;
    }
    if (cell_ == cells_.size())
        return 0;
    // The file that holds the sector, and no further than its end.
    const auto after = std::upper_bound(fileStarts_.begin(), fileStarts_.end(), nextSector_);
    if (after == fileStarts_.begin())
        return Fail(msg::kAudioDiscReadFailed);
    const size_t file = static_cast<size_t>(after - fileStarts_.begin() - 1);
    const int64_t inFile = nextSector_ - fileStarts_[file];
    const int64_t fileSectors = files_[file]->size / kSector;
    if (inFile >= fileSectors)
        return Fail(msg::kAudioDiscReadFailed);
    const int64_t sectors =
        std::min({maxSectors, int64_t{cells_[cell_].lastSector} - nextSector_ + 1, fileSectors - inFile});
    if (!volume_->Read(*files_[file], inFile * kSector, into, static_cast<size_t>(sectors * kSector)))
        return Fail(msg::kAudioDiscReadFailed);
    for (int64_t s = 0; s < sectors; ++s)
        if (PackIsScrambled(into + s * kSector))
            return Fail(msg::kAudioDiscProtected);
    nextSector_ += sectors;
    return sectors;
}

int64_t TAobSource::Read(uint8_t* buffer, int64_t count) {
    if (!error_.empty())
        return -1;
    int64_t done = 0;
    while (done < count) {
        if (spareAt_ < spareEnd_) {
            const size_t take = std::min<size_t>(spareEnd_ - spareAt_, static_cast<size_t>(count - done));
            std::memcpy(buffer + done, spare_.data() + spareAt_, take);
            spareAt_ += take;
            done += static_cast<int64_t>(take);
            continue;
        }
        // Whole sectors go straight into the caller's buffer; a remainder smaller than a sector goes
        // through the spare buffer.
        const int64_t wholeSectors = std::min((count - done) / kSector, kSectorsPerRead);
        uint8_t* target = wholeSectors > 0 ? buffer + done : spare_.data();
        const int64_t got = ReadSectors(target, wholeSectors > 0 ? wholeSectors : kSectorsPerRead);
        if (got < 0)
            return done > 0 ? done : -1;
        if (got == 0)
            break;
        if (wholeSectors > 0) {
            done += got * kSector;
        } else {
            spareAt_ = 0;
            spareEnd_ = static_cast<size_t>(got * kSector);
        }
    }
    return done;
}

bool TAobFileSource::Restart() {
    position_ = 0;
    error_.clear();
    return stream_.Restart();
}

int64_t TAobFileSource::Read(uint8_t* buffer, int64_t count) {
    if (!error_.empty())
        return -1;
    // Up to the last pack boundary the request reaches; a request that reaches none is read as asked.
    const int64_t toBoundary = (position_ + count) / kSector * kSector - position_;
    const int64_t got = stream_.Read(buffer, toBoundary > 0 ? toBoundary : count);
    if (got <= 0)
        return got;
    for (int64_t pack = (position_ + kSector - 1) / kSector * kSector; pack + kSector <= position_ + got;
         pack += kSector)
        if (PackIsScrambled(buffer + (pack - position_))) {
            error_ = msg::kAudioDiscProtected;
            return -1;
        }
    position_ += got;
    return got;
}
