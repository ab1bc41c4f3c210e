#pragma once

#include "dvd/StreamSource.h"
#include "mmio/MMIOFile.h"

// A program stream read from one opened file through the buffered file object, from its current position
// to its end.
class TFileStreamSource : public TStreamSource {
public:
    // The file object's buffer for this path: larger than the 32,768 bytes of the raw run, as measured by
    // bench/dvd_bench (the demultiplexer asks for large blocks, so fewer, larger system reads pay).
    static constexpr int32_t kBufferSize = 256 * 1024;

    // Sets the file's buffer to kBufferSize (raises EMMIOError as SetBufferSize does) and takes its size.
    explicit TFileStreamSource(TMMIOFile& file);

    int64_t Read(uint8_t* buffer, int64_t count) override;
    int64_t Size() const override { return size_; }

private:
    TMMIOFile& file_;
    int64_t size_ = -1;
};
