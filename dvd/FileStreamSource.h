#pragma once

#include "dvd/StreamSource.h"
#include "mmio/MMIOFile.h"

// A program stream read from one opened file through the buffered file object, from its current position
// to its end.
class TFileStreamSource : public TStreamSource {
public:
    // The file object's buffer for this path. The demultiplexer asks for blocks of up to 256 KiB, which
    // the file object mostly reads straight into them; bench/dvd_bench measured 32 KiB to 1 MiB buffers
    // within a few per cent of each other (about 2 GB/s), 256 KiB at the top.
    static constexpr int32_t kBufferSize = 256 * 1024;

    // Sets the file's buffer to kBufferSize (raises EMMIOError as SetBufferSize does) and takes its size.
    explicit TFileStreamSource(TMMIOFile& file);

    int64_t Read(uint8_t* buffer, int64_t count) override;
    int64_t Size() const override { return size_; }
    bool Restart() override;

private:
    TMMIOFile& file_;
    int64_t start_ = -1; // the file's position when the stream was opened
    int64_t size_ = -1;
    bool failed_ = false;
};
