#pragma once

#include "mmio/MMIOFile.h"

#include <cstdint>
#include <cstring>

// Small reads or writes on a buffered file in a tight loop. The file object keeps its position in memory,
// and a store into its buffer may, as far as the compiler knows, change that position or any other
// object's fields: every access would reload them. A cursor holds the buffer's position in a local
// variable instead, so that the loop keeps it and its other state in registers. Everything beyond the
// buffer's fast path goes to the file's own Read and Write, so the system calls are the file's.
//
// The cursor takes the file's position over at its first call that the buffer does not serve, and gives
// it back before every call into the file and when it ends. Meanwhile nothing else may use the file.
class TMMIOCursor {
public:
    explicit TMMIOCursor(TMMIOFile& file) : file_(file) {}
    ~TMMIOCursor() { Detach(); }
    TMMIOCursor(const TMMIOCursor&) = delete;
    TMMIOCursor& operator=(const TMMIOCursor&) = delete;

    // Reads or writes the N bytes of `bytes`, as TMMIOFile::Read and Write do with a count of N. The file is
    // only ever handed a copy of them: the caller's array never has its address taken, so the compiler may
    // keep it in registers. After a short read the bytes beyond the count returned mean nothing.
    template <int32_t N> int32_t Read(uint8_t (&bytes)[N]) {
        if (N <= end_ - next_) [[likely]] {
            std::memcpy(bytes, next_, N);
            next_ += N;
            return N;
        }
        uint8_t copy[N]{};
        Detach();
        const int32_t got = file_.Read(copy, N);
        Attach(file_.readEnd_);
        std::memcpy(bytes, copy, N);
        return got;
    }

    template <int32_t N> int32_t Write(const uint8_t (&bytes)[N]) {
        if (N <= end_ - next_) [[likely]] {
            std::memcpy(next_, bytes, N);
            next_ += N;
            return N;
        }
        uint8_t copy[N];
        std::memcpy(copy, bytes, N);
        Detach();
        const int32_t stored = file_.Write(copy, N);
        Attach(file_.writeEnd_);
        return stored;
    }

private:
    // The buffer as the file left it: [next_, end_) is what the fast path may read or fill.
    void Attach(int64_t end) {
        char* const buffer = file_.buffer_;
        if (!buffer)
            return;
        next_ = buffer + file_.cur_;
        end_ = buffer + end;
    }

    void Detach() {
        if (next_)
            file_.cur_ = next_ - file_.buffer_;
        next_ = end_ = nullptr;
    }

    TMMIOFile& file_;
    char* next_ = nullptr;
    char* end_ = nullptr;
};
