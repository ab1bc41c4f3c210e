#include "mmio/MMIOFile.h"

#include "mmio/MMIOCodes.h"
#include "mmio/PathState.h"
#include "mmio/ShareLocks.h"
#include "mmio/SysCalls.h"
#include "texts/Messages.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

const char* MessageForOpenError(uint32_t code) {
    switch (code) {
    case mmio::kErrPathNotFound:
        return msg::kPathNotFound;
    case mmio::kErrAccessDenied:
        return msg::kAccessDenied;
    case mmio::kErrSharingViolation:
        return msg::kSharingViolation;
    case mmio::kErrNetworkError:
        return msg::kNetworkError;
    case mmio::kErrTooManyOpenFiles:
        return msg::kTooManyOpenFiles;
    case mmio::kErrInvalidFile:
        return msg::kInvalidFile;
    default:
        return nullptr;
    }
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string DirectoryOf(const std::string& name) {
    const auto slash = name.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

// Maps a failed open's errno to the platform's error code.
uint32_t CodeForErrno(int error, const std::string& name) {
    switch (error) {
    case ENOENT:
        // A missing file in an existing directory is "file not found"; a missing directory is a bad path.
        return DirectoryExists(DirectoryOf(name)) ? mmio::kErrFileNotFound : mmio::kErrPathNotFound;
    case ENOTDIR:
        return mmio::kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return mmio::kErrAccessDenied;
    case EEXIST: // only an exclusive create fails so
        return mmio::kErrFileExists;
    case ETXTBSY:
        return mmio::kErrSharingViolation;
    case EIO:
    case ESTALE:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ETIMEDOUT:
        return mmio::kErrNetworkError;
    case EMFILE:
    case ENFILE:
        return mmio::kErrTooManyOpenFiles;
    case EISDIR:
    case ENXIO:
    case ENODEV:
        return mmio::kErrInvalidFile;
    default:
        return mmio::kErrOther;
    }
}

// Where the name leads, symbolic links followed, so that deleting the file later removes the file itself
// and not a link to it. Falls back to the name when that path does not lead to the file opened as `opened`.
std::string ResolvedPath(const std::string& name, const struct stat& opened) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(name.c_str(), nullptr), &std::free);
    struct stat st {};
    if (!real || ::lstat(real.get(), &st) != 0 || st.st_dev != opened.st_dev || st.st_ino != opened.st_ino)
        return name;
    return real.get();
}

ssize_t PlainRead(int fd, void* buffer, size_t count) {
    return ::read(fd, buffer, count);
}
ssize_t PlainWrite(int fd, const void* buffer, size_t count) {
    return ::write(fd, buffer, count);
}

ssize_t ReadRetrying(int fd, void* buffer, size_t count) {
    ssize_t n;
    do {
        n = mmio::Sys().read(fd, buffer, count);
    } while (n < 0 && errno == EINTR);
    return n;
}

} // namespace

namespace mmio {
SysCalls& Sys() {
    static SysCalls calls{PlainRead, PlainWrite};
    return calls;
}
} // namespace mmio

TMMIOFile::TMMIOFile() = default;

TMMIOFile::~TMMIOFile() {
    try {
        Close();
    } catch (const EMMIOError&) {
        // A destructor cannot report; callers that care call Close themselves.
    }
}

void TMMIOFile::SetFileName(const std::string& name) {
    if (!info_)
        info_ = std::make_unique<TMMIOInfo>();
    *info_ = TMMIOInfo{};
    fileName_ = name;
    accessMode_ = 2;
    shareMode_ = 1;
    buffered_ = true;
    createExclusive_ = false;
    failureReason_.clear();
    written_.reset();
}

void TMMIOFile::SetModes(bool buffered, uint8_t access, uint8_t share) {
    buffered_ = buffered;
    accessMode_ = access;
    shareMode_ = share;
}

void TMMIOFile::OpenExisting() {
    Open(0);
}

void TMMIOFile::CreateNew() {
    Open(mmio::kCreate);
}

void TMMIOFile::Open(uint32_t baseFlags) {
    if (opened_)
        Close();
    openFlags_ = baseFlags | (buffered_ ? mmio::kAllocBuf : 0) | (accessMode_ & mmio::kAccessMask) |
                 ((static_cast<uint32_t>(shareMode_) << 4) & mmio::kShareMask);
    uint32_t code = 0;
    try {
        if (!info_)
            info_ = std::make_unique<TMMIOInfo>();
        info_->dwFlags = openFlags_;
        failureReason_.clear();
        written_.reset();
        code = OpenOnPlatform();
        info_->wErrorRet = code;
        if (code != 0 && !MessageForOpenError(code))
            failureReason_ = std::generic_category().message(failureErrno_);
    } catch (const std::bad_alloc&) {
        // OpenOnPlatform has given back whatever it took: the file is not open.
        if (info_)
            info_->wErrorRet = mmio::kErrOutOfMemory;
        throw EMMIOError(msg::kBufferFailed);
    }
    if (code == 0) {
        opened_ = true;
        return;
    }
    if (const char* message = MessageForOpenError(code)) {
        // A new file that its folder refuses: no file is protected, the folder is.
        if (code == mmio::kErrAccessDenied && (openFlags_ & mmio::kCreate) && NothingAt(fileName_))
            message = msg::kFolderNotWritable;
        throw EMMIOError(message);
    }
}

uint32_t TMMIOFile::OpenFailed(int error) {
    failureErrno_ = error;
    return CodeForErrno(error, fileName_);
}

uint32_t TMMIOFile::OpenOnPlatform() {
    if (fileName_.empty())
        return OpenFailed(ENOENT);
    // The buffer comes first: when there is no memory for it, no file has been touched.
    Buffer buffer = NewBuffer(buffered_ ? mmio::kDefaultBufferSize : 0);

    const bool create = (openFlags_ & mmio::kCreate) != 0;
    const uint32_t access = openFlags_ & mmio::kAccessMask;
    // Never block (a FIFO with no writer would hang) and never become a controlling terminal. An
    // exclusive create also refuses a symbolic link, even one that leads nowhere.
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (create ? O_CREAT : 0) |
                (create && createExclusive_ ? O_EXCL : 0);
    // A write-only open still asks for read access where it may, to take the same locks as the readers.
    int fd = ::open(fileName_.c_str(), flags | (access == mmio::kRead ? O_RDONLY : O_RDWR), 0666);
    bool readable = true;
    if (fd < 0 && errno == EACCES && access == mmio::kWrite) {
        fd = ::open(fileName_.c_str(), flags | O_WRONLY, 0666);
        readable = false;
    }
    if (fd < 0)
        return OpenFailed(errno);

    const auto fail = [this, fd](int error) {
        mmio::OpenFileRegistry::Remove(this);
        ::close(fd);
        return OpenFailed(error);
    };
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return fail(errno);
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return mmio::kErrInvalidFile;
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
        return fail(errno);

    const mmio::ShareRequest request = mmio::ShareRequestFor(openFlags_);
    switch (mmio::AcquireShare(fd, readable, request)) {
    case mmio::ShareResult::Granted:
    case mmio::ShareResult::Unsupported:
        break;
    case mmio::ShareResult::Conflict:
        ::close(fd);
        return mmio::kErrSharingViolation;
    case mmio::ShareResult::Error:
        return fail(errno);
    }
    try {
        if (!mmio::OpenFileRegistry::TryAdd(this, st.st_dev, st.st_ino, request)) {
            ::close(fd);
            return mmio::kErrSharingViolation;
        }
        if (access != mmio::kRead)
            written_ = WrittenFile{ResolvedPath(fileName_, st), st.st_dev, st.st_ino};
    } catch (const std::bad_alloc&) {
        fail(ENOMEM);
        throw;
    }
    // Only now, with the share check passed, may an existing file be emptied.
    if (create && st.st_size != 0 && ::ftruncate(fd, 0) != 0) {
        written_.reset();
        return fail(errno);
    }

    handle_ = fd;
    mode_ = Mode::Idle;
    bufferStart_ = cur_ = readEnd_ = writeEnd_ = 0;
    memory_ = std::move(buffer);
    buffer_ = memory_.get();
    capacity_ = buffer_ ? mmio::kDefaultBufferSize : 0;
    return 0;
}

namespace {
constexpr std::align_val_t kBufferAlignment{4096};
} // namespace

TMMIOFile::Buffer TMMIOFile::NewBuffer(int32_t size) {
    if (size <= 0)
        return Buffer(nullptr, {kBufferAlignment});
    return Buffer(static_cast<char*>(::operator new[](static_cast<size_t>(size), kBufferAlignment)),
                  {kBufferAlignment});
}

TMMIOFile::Buffer TMMIOFile::NewBuffers(int32_t size, int count) {
    constexpr size_t kHugePage = size_t{2} << 20;
    const size_t bytes = static_cast<size_t>(size) * static_cast<size_t>(count);
    const std::align_val_t alignment = bytes >= kHugePage ? std::align_val_t{kHugePage} : kBufferAlignment;
    Buffer buffers(static_cast<char*>(::operator new[](bytes, alignment)), {alignment});
    if (bytes >= kHugePage)
        ::madvise(buffers.get(), bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
    return buffers;
}

void TMMIOFile::BufferDelete::operator()(char* buffer) const noexcept {
    ::operator delete[](buffer, alignment);
}

void TMMIOFile::SetBufferSize(int32_t size) {
    if (!opened_)
        return;
    if (!MakeIdle() || !Drain())
        throw EMMIOError(msg::kWriteFailed);
    EndWriteBehind();
    try {
        // The old buffer stays in use when there is no memory for the new one.
        memory_ = NewBuffer(size);
        buffer_ = memory_.get();
        capacity_ = buffer_ ? size : 0;
    } catch (const std::bad_alloc&) {
        throw EMMIOError(msg::kBufferFailed);
    }
    if (info_)
        info_->cchBuffer = capacity_;
}

void TMMIOFile::SetWriteBehind(int buffers) {
    if (!opened_ || capacity_ <= 0 || behind_ || buffers < 2 ||
        buffers > static_cast<int>(TWriteBehind::kMaxQueued))
        return;
    if (!MakeIdle())
        return;
    try {
        Buffer memory = NewBuffers(capacity_, buffers);
        std::vector<char*> ring;
        for (int i = 0; i < buffers; ++i)
            ring.push_back(memory.get() + static_cast<size_t>(i) * static_cast<size_t>(capacity_));
        behind_ = std::make_unique<TWriteBehind>([this](const char* data, int64_t count) {
            int64_t written = 0;
            return WriteAll(data, count, written);
        });
        memory_ = std::move(memory);
        ring_ = std::move(ring);
        inUse_ = 0;
        buffer_ = ring_[0];
    } catch (const std::exception&) {
        // Written as before.
    }
}

// Queues the full buffer and goes on with the next one.
bool TMMIOFile::HandOver() {
    if (behindFailed_)
        return false;
    behind_->Post(buffer_, cur_);
    // The next buffer is the one handed over longest ago: free once no more than the others wait.
    if (!behind_->WaitUntil(ring_.size() - 1)) {
        behindFailed_ = true;
        return false;
    }
    inUse_ = (inUse_ + 1) % ring_.size();
    buffer_ = ring_[inUse_];
    bufferStart_ += cur_;
    mode_ = Mode::Idle;
    cur_ = writeEnd_ = 0;
    return true;
}

// Waits for the writes behind: false when one of them failed. Then the kernel offset is bufferStart_.
bool TMMIOFile::Drain() {
    if (behind_ && !behind_->WaitUntil(0))
        behindFailed_ = true;
    return !behindFailed_;
}

// Ends the writer's thread after the writes it has, and goes back to one buffer.
void TMMIOFile::EndWriteBehind() noexcept {
    behind_.reset();
    ring_.clear();
    inUse_ = 0;
}

bool TMMIOFile::WriteAll(const char* data, int64_t count, int64_t& written) {
    written = 0;
    while (written < count) {
        const ssize_t n = mmio::Sys().write(handle_, data + written, static_cast<size_t>(count - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

bool TMMIOFile::Flush() {
    if (!Drain())
        return false;
    if (mode_ != Mode::Writing)
        return true;
    int64_t written = 0;
    const bool ok = WriteAll(buffer_, cur_, written);
    bufferStart_ += written;
    if (!ok) {
        // Keep what did not reach the disk, so that a later flush (or Close) tries again and reports it.
        std::memmove(buffer_, buffer_ + written, static_cast<size_t>(cur_ - written));
        cur_ -= written;
        return false;
    }
    mode_ = Mode::Idle;
    cur_ = writeEnd_ = 0;
    return true;
}

// Empties the buffer and puts the kernel offset at the logical position.
bool TMMIOFile::MakeIdle() {
    if (mode_ == Mode::Writing)
        return Flush();
    if (mode_ == Mode::Reading) {
        const int64_t position = Logical();
        if (cur_ != readEnd_ && ::lseek(handle_, position, SEEK_SET) < 0)
            return false;
        bufferStart_ = position;
        cur_ = readEnd_ = 0;
        mode_ = Mode::Idle;
    }
    return true;
}

int32_t TMMIOFile::ReadSlow(void* buffer, int32_t count) {
    if (!opened_ || count < 0 || (openFlags_ & mmio::kAccessMask) == mmio::kWrite)
        return -1;
    if (count == 0)
        return 0;
    if (!Flush())
        return -1;
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    if (mode_ == Mode::Reading) {
        done = readEnd_ - cur_;
        std::memcpy(out, buffer_ + cur_, static_cast<size_t>(done));
        cur_ = readEnd_;
    }
    while (done < count) {
        // The buffer is used up: the kernel offset is the logical position.
        bufferStart_ = Logical();
        cur_ = readEnd_ = 0;
        mode_ = Mode::Idle;
        const int64_t wanted = count - done;
        if (wanted >= capacity_) {
            const ssize_t n = ReadRetrying(handle_, out + done, static_cast<size_t>(wanted));
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            done += n;
            bufferStart_ += n;
            continue;
        }
        const ssize_t n = ReadRetrying(handle_, buffer_, static_cast<size_t>(capacity_));
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        mode_ = Mode::Reading;
        readEnd_ = n;
        const int64_t take = std::min<int64_t>(wanted, n);
        std::memcpy(out + done, buffer_, static_cast<size_t>(take));
        cur_ = take;
        done += take;
    }
    return static_cast<int32_t>(done);
}

int32_t TMMIOFile::WriteSlow(const void* buffer, int32_t count) {
    if (!opened_ || count < 0 || (openFlags_ & mmio::kAccessMask) == mmio::kRead)
        return -1;
    if (count == 0)
        return 0;
    const char* data = static_cast<const char*>(buffer);
    int32_t rest = count;
    if (mode_ == Mode::Writing) {
        // A piece that straddles the buffer's end fills it up, and the buffer is written whole: the file's
        // writes end on page boundaries, where a write that stopped short of them would leave its last
        // page to be zeroed by the kernel and completed by the next write.
        const int64_t held = cur_;
        const int64_t start = bufferStart_;
        const auto head = static_cast<int32_t>(writeEnd_ - cur_);
        std::memcpy(buffer_ + cur_, data, static_cast<size_t>(head));
        cur_ = writeEnd_;
        if (behind_) {
            if (!HandOver()) {
                cur_ = held;
                return -1;
            }
        } else if (!Flush()) {
            // The call failed: what of the piece has not reached the file is taken back.
            cur_ -= writeEnd_ - std::max(bufferStart_ - start, held);
            return -1;
        }
        data += head;
        rest -= head;
    }
    if (!MakeIdle())
        return -1;
    if (rest >= capacity_) {
        if (!Drain())
            return -1;
        int64_t written = 0;
        const bool ok = WriteAll(data, rest, written);
        bufferStart_ += written;
        return ok ? count : -1;
    }
    mode_ = Mode::Writing;
    writeEnd_ = capacity_;
    std::memcpy(buffer_, data, static_cast<size_t>(rest));
    cur_ = rest;
    return count;
}

int64_t TMMIOFile::MoveTo(int64_t target) {
    if (target < 0)
        return -1;
    if (target == Logical())
        return target;
    if (mode_ == Mode::Reading && target >= bufferStart_ && target <= bufferStart_ + readEnd_) {
        cur_ = target - bufferStart_;
        return target;
    }
    if (!Flush())
        return -1;
    const off_t result = ::lseek(handle_, target, SEEK_SET);
    if (result < 0)
        return -1;
    mode_ = Mode::Idle;
    bufferStart_ = result;
    cur_ = readEnd_ = writeEnd_ = 0;
    return result;
}

int64_t TMMIOFile::SeekTo(int64_t offset) {
    if (!opened_)
        return -1;
    return MoveTo(offset);
}

int64_t TMMIOFile::SeekBy(int64_t offset) {
    if (!opened_)
        return -1;
    int64_t target = 0;
    if (__builtin_add_overflow(Logical(), offset, &target))
        return -1;
    return MoveTo(target);
}

int64_t TMMIOFile::SeekToEnd() {
    if (!opened_ || !MakeIdle() || !Drain())
        return -1;
    const off_t result = ::lseek(handle_, 0, SEEK_END);
    if (result < 0)
        return -1;
    bufferStart_ = result;
    return result;
}

void TMMIOFile::Close() {
    if (!opened_)
        return;
    const bool flushed = Flush();
    EndWriteBehind();
    behindFailed_ = false;
    // close is never retried: after EINTR the descriptor is gone already.
    const bool closeFailed = ::close(handle_) != 0 && errno != EINTR && accessMode_ != 0;
    mmio::OpenFileRegistry::Remove(this);
    handle_ = -1;
    opened_ = false;
    mode_ = Mode::Idle;
    bufferStart_ = cur_ = readEnd_ = writeEnd_ = 0;
    memory_.reset();
    buffer_ = nullptr;
    capacity_ = 0;
    if (!flushed || closeFailed)
        throw EMMIOError(msg::kWriteFailed);
}

TDeleteResult TMMIOFile::Delete() noexcept {
    if (!written_)
        return TDeleteResult::NothingToDelete;
    // The name may have been given to another file since (renamed over it, or a new link): only the very
    // file written goes.
    struct stat st {};
    if (::lstat(written_->path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? TDeleteResult::NothingToDelete : TDeleteResult::Failed;
    if (static_cast<uint64_t>(st.st_dev) != written_->device ||
        static_cast<uint64_t>(st.st_ino) != written_->inode)
        return TDeleteResult::NotOurs;
    if (::unlink(written_->path.c_str()) != 0)
        return errno == ENOENT ? TDeleteResult::NothingToDelete : TDeleteResult::Failed;
    written_.reset();
    return TDeleteResult::Deleted;
}
