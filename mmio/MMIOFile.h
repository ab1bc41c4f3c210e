#pragma once

#include "mmio/MMIOError.h"
#include "mmio/WriteBehind.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The platform information record handed to every open; it receives the error code of a failed open.
struct TMMIOInfo {
    uint32_t dwFlags = 0;
    uint32_t wErrorRet = 0;
    int32_t cchBuffer = 0;
};

// What Delete did, so that the caller can tell the user.
enum class TDeleteResult {
    Deleted,
    NotOurs,        // the name now leads to another file than the one written: left alone
    Failed,         // the system refused to delete it
    NothingToDelete // nothing was written through this object, or its file has no name any more
};

// A buffered file object. Reads, writes and seeks go through one buffer: a request that fits it is a copy
// with no system call. Open, buffer and close failures raise EMMIOError; reads, writes and seeks report
// failure through their results (-1) and never raise. Positions are 64-bit.
class TMMIOFile {
public:
    TMMIOFile();
    ~TMMIOFile(); // closes quietly if still open
    TMMIOFile(const TMMIOFile&) = delete;
    TMMIOFile& operator=(const TMMIOFile&) = delete;

    // Stores a copy of the name and resets the modes to read-and-write, exclusive, buffered, and to a
    // create that may empty an existing file.
    void SetFileName(const std::string& name);
    // access: 0 read, 1 write, 2 read and write; share: 0 compatibility, 1 exclusive, 2 deny write,
    // 3 deny read, 4 deny none.
    void SetModes(bool buffered, uint8_t access, uint8_t share);

    // With `exclusive`, CreateNew never opens a file that exists already (nor a symbolic link): the object
    // stays unopened, without a message, and Info()->wErrorRet is mmio::kErrFileExists.
    void SetCreateExclusive(bool exclusive) { createExclusive_ = exclusive; }

    void OpenExisting();
    // Creates the file, or empties an existing one once the share check has passed.
    void CreateNew();
    void SetBufferSize(int32_t size);
    // From now on a full buffer is written on a thread of its own while the next of `buffers` buffers (2 to
    // TWriteBehind::kMaxQueued: all of them may wait) fills, for an output written front to back; every other
    // call waits for those writes first. A write that fails there fails the next write, flush or seek and the
    // close. Call after SetBufferSize; without memory or a thread the file is written as before.
    void SetWriteBehind(int buffers);

    int64_t SeekTo(int64_t offset);
    int64_t SeekBy(int64_t offset);
    int64_t Rewind() { return SeekTo(0); }
    int64_t SeekToEnd();
    int64_t Position() { return SeekBy(0); }

    // Bytes read; 0 at the end of the file, -1 on error.
    int32_t Read(void* buffer, int32_t count) {
        if (count > 0 && count <= readEnd_ - cur_) [[likely]] {
            std::memcpy(buffer, buffer_ + cur_, static_cast<size_t>(count));
            cur_ += count;
            return count;
        }
        return ReadSlow(buffer, count);
    }

    // Bytes written, or -1 on error (including a flush of the buffer that failed).
    int32_t Write(const void* buffer, int32_t count) {
        if (count > 0 && count <= writeEnd_ - cur_) [[likely]] {
            std::memcpy(buffer_ + cur_, buffer, static_cast<size_t>(count));
            cur_ += count;
            return count;
        }
        return WriteSlow(buffer, count);
    }

    // Raises "Could not write buffer to disk." when the buffer cannot be flushed; the file counts as
    // closed either way.
    void Close();
    // Deletes the file that this object last opened with write access, open or closed: through a symbolic
    // name, the file the link led to (the link stays). Only while that file's path still leads to the very
    // file written is it removed; otherwise the name is left alone. Raises nothing.
    TDeleteResult Delete() noexcept;

    int Handle() const { return handle_; }
    bool Opened() const { return opened_; }
    uint8_t AccessMode() const { return accessMode_; }
    uint8_t ShareMode() const { return shareMode_; }
    bool Buffered() const { return buffered_; }
    uint32_t OpenFlags() const { return openFlags_; }
    const std::string& FileName() const { return fileName_; }
    const TMMIOInfo* Info() const { return info_.get(); }
    int32_t BufferSize() const { return capacity_; }
    // The system's own words for why the last open failed, where the failure has no message of the file
    // layer (a name too long, a loop of symbolic links, no free inodes, ...); empty otherwise.
    const std::string& FailureReason() const { return failureReason_; }

private:
    // Holds the buffer's position in a loop's registers; see MMIOCursor.h.
    friend class TMMIOCursor;

    enum class Mode { Idle, Reading, Writing };

    // The file written through this object, as Delete finds it again.
    struct WrittenFile {
        std::string path;
        uint64_t device;
        uint64_t inode;
    };

    void Open(uint32_t baseFlags);
    uint32_t OpenOnPlatform();
    uint32_t OpenFailed(int error);
    int32_t ReadSlow(void* buffer, int32_t count);
    int32_t WriteSlow(const void* buffer, int32_t count);
    bool WriteAll(const char* data, int64_t count, int64_t& written);
    bool Flush();
    bool HandOver();
    bool Drain();
    void EndWriteBehind() noexcept;
    bool MakeIdle();
    int64_t MoveTo(int64_t target);
    // The buffer begins on a page of its own, as the kernel's pages do: a whole buffer is copied to or from
    // whole pages, never one page more.
    struct BufferDelete {
        std::align_val_t alignment;
        void operator()(char* buffer) const noexcept;
    };
    using Buffer = std::unique_ptr<char[], BufferDelete>;
    static Buffer NewBuffer(int32_t size);
    // `count` buffers of `size` bytes in one block that the system may back with huge pages: a fresh page
    // costs a fault of several microseconds on a virtual machine, and write-behind's buffers are large.
    static Buffer NewBuffers(int32_t size, int count);
    int64_t Logical() const { return bufferStart_ + cur_; }

    int handle_ = -1;
    std::unique_ptr<TMMIOInfo> info_;
    uint8_t accessMode_ = 0;
    uint8_t shareMode_ = 0;
    bool buffered_ = false;
    bool opened_ = false;
    uint32_t openFlags_ = 0;
    std::string fileName_;
    bool createExclusive_ = false;
    int failureErrno_ = 0;
    std::string failureReason_;
    std::optional<WrittenFile> written_;

    // Buffer state. Idle: empty buffer, kernel offset = bufferStart_. Reading: buffer_[0, readEnd_) holds
    // the file from bufferStart_, kernel offset = bufferStart_ + readEnd_. Writing: buffer_[0, cur_) is
    // unwritten data for the file from bufferStart_, kernel offset = bufferStart_.
    Buffer memory_;          // the buffer, or write-behind's buffers
    char* buffer_ = nullptr; // the one in use
    int32_t capacity_ = 0;
    Mode mode_ = Mode::Idle;
    int64_t bufferStart_ = 0;
    int64_t cur_ = 0;
    int64_t readEnd_ = 0;
    int64_t writeEnd_ = 0;

    // With write-behind: the buffers that take turns (buffer_ is ring_[inUse_]), the writer, and whether
    // one of its writes failed.
    std::vector<char*> ring_;
    size_t inUse_ = 0;
    std::unique_ptr<TWriteBehind> behind_;
    bool behindFailed_ = false;
};
