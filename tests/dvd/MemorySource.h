#pragma once

#include "TestFiles.h"
#include "dvd/StreamSource.h"

#include <algorithm>
#include <cstring>

// A stream source over bytes in memory that hands out at most `piece` bytes per read, so that reads end
// at awkward places.
class MemorySource : public TStreamSource {
public:
    explicit MemorySource(const Bytes& bytes, int64_t piece = 1 << 20) : bytes_(bytes), piece_(piece) {}
    int64_t Read(uint8_t* buffer, int64_t count) override {
        const int64_t n = std::min({count, piece_, static_cast<int64_t>(bytes_.size()) - at_});
        std::memcpy(buffer, bytes_.data() + at_, static_cast<size_t>(n));
        at_ += n;
        return n;
    }
    int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
    bool Restart() override {
        at_ = 0;
        return true;
    }

private:
    const Bytes& bytes_;
    int64_t piece_;
    int64_t at_ = 0;
};
