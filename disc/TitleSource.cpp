#include "disc/TitleSource.h"

#include "disc/Scrambling.h"
#include "texts/Messages.h"

#include <algorithm>
#include <cstring>

namespace {

// 512 blocks (1 MiB) per read: large enough that the system calls cost nothing next to the copying, small
// enough to stay in the cache.
constexpr int64_t kBlocksPerRead = 512;

} // namespace

TTitleSource::TTitleSource(std::unique_ptr<TVobBlocks> vobs, const TDiscTitle& title)
    : vobs_(std::move(vobs)), cells_(title.cells), titleCells_(cells_.size()) {
    for (const TDiscCell& cell : cells_)
        size_ += cell.Bytes();
    // libdvdread addresses blocks with an int; an image's cells were cut to the same blocks.
    const int64_t readable = std::min<int64_t>(vobs_->Blocks(), int64_t{INT32_MAX} + 1);
    if (!cells_.empty() && int64_t{cells_.back().lastSector} + 1 < readable) {
        const int64_t first = int64_t{cells_.back().lastSector} + 1;
        const int64_t last = std::min(first + kTailBlocks, readable) - 1;
        cells_.push_back({static_cast<uint32_t>(first), static_cast<uint32_t>(last), 0});
    }
    if (!cells_.empty())
        nextSector_ = cells_.front().firstSector;
}

bool TTitleSource::Restart() {
    cell_ = 0;
    nextSector_ = cells_.empty() ? 0 : cells_.front().firstSector;
    spareAt_ = spareEnd_ = 0;
    error_.clear();
    return true;
}

int64_t TTitleSource::Fail(const char* message) {
    if (error_.empty())
        error_ = message;
    return -1;
}

int64_t TTitleSource::ReadBlocks(uint8_t* into, int64_t maxBlocks) {
    while (cell_ < cells_.size() && nextSector_ > cells_[cell_].lastSector) {
        if (++cell_ < cells_.size())
            nextSector_ = cells_[cell_].firstSector;
    }
    if (cell_ == cells_.size())
        return 0;
    const int64_t blocks = std::min<int64_t>(maxBlocks, int64_t{cells_[cell_].lastSector} - nextSector_ + 1);
    const int64_t got = vobs_->Read(nextSector_, blocks, into);
    // What the tail cannot give ends the stream: it is no part of the title.
    const bool inTail = cell_ >= titleCells_;
    if (got <= 0) {
        cell_ = inTail ? cells_.size() : cell_;
        return inTail ? 0 : Fail(msg::kDiscReadFailed);
    }
    for (int64_t b = 0; b < got; ++b) {
        if (PackIsScrambled(into + b * kDiscBlockBytes)) {
            cell_ = inTail ? cells_.size() : cell_;
            return inTail ? b : Fail(msg::kDiscEncrypted);
        }
    }
    nextSector_ += static_cast<uint32_t>(got);
    return got;
}

int64_t TTitleSource::Read(uint8_t* buffer, int64_t count) {
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
        // Whole blocks go straight into the caller's buffer; a remainder smaller than a block goes
        // through the spare buffer.
        const int64_t wholeBlocks = std::min((count - done) / kDiscBlockBytes, kBlocksPerRead);
        // Made only when needed: the demultiplexer asks for whole blocks, and a fresh page costs a fault.
        if (wholeBlocks == 0 && spare_.empty())
            spare_.resize(kBlocksPerRead * kDiscBlockBytes);
        uint8_t* target = wholeBlocks > 0 ? buffer + done : spare_.data();
        const int64_t got = ReadBlocks(target, wholeBlocks > 0 ? wholeBlocks : kBlocksPerRead);
        if (got < 0)
            return done > 0 ? done : -1;
        if (got == 0)
            break;
        if (wholeBlocks > 0) {
            done += got * kDiscBlockBytes;
        } else {
            spareAt_ = 0;
            spareEnd_ = static_cast<size_t>(got * kDiscBlockBytes);
        }
    }
    return done;
}
