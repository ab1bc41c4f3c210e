#pragma once

#include <cstdint>
#include <string>

// Where program-stream bytes come from: one file, or a disc title's cells read in playback order. The
// demultiplexer pulls from it and never seeks; a track's reader may read its start twice.
class TStreamSource {
public:
    virtual ~TStreamSource() = default;
    // Up to count bytes into buffer: the number read, 0 at the end, -1 on a read error.
    virtual int64_t Read(uint8_t* buffer, int64_t count) = 0;
    // The stream's length in bytes, for progress; -1 when unknown.
    virtual int64_t Size() const = 0;
    // Back to the stream's first byte, to read it again; false when that fails, and every read fails then.
    virtual bool Restart() = 0;
    // Why a read failed, in the program's words, where the source knows more than that it failed.
    virtual const std::string& Error() const {
        static const std::string none;
        return none;
    }
};
