#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// Writes a file's full buffers, in the order they were handed over, on a thread of its own while the
// caller fills the next ones. The thread takes no signals: they stay with the program's own threads, which
// stop a run cleanly.
class TWriteBehind {
public:
    // The most blocks that may wait at once.
    static constexpr size_t kMaxQueued = 8;
    // `write` writes a block whole, or returns false.
    using TWrite = std::function<bool(const char* data, int64_t count)>;

    explicit TWriteBehind(TWrite write);
    ~TWriteBehind(); // writes what waits, then ends the thread
    TWriteBehind(const TWriteBehind&) = delete;
    TWriteBehind& operator=(const TWriteBehind&) = delete;

    // Queues a block, which stays untouched until it has been written; at most kMaxQueued may wait (the
    // caller waits with WaitUntil first).
    void Post(const char* data, int64_t count);
    // Waits until no more than `queued` blocks wait or are being written: false once a write has failed.
    // After a failure the blocks behind it are dropped: they would land at the wrong place.
    bool WaitUntil(size_t queued);

private:
    void Work();

    TWrite write_;
    std::mutex mutex_;
    std::condition_variable posted_, written_;
    struct Block {
        const char* data;
        int64_t count;
    };
    Block queue_[kMaxQueued] = {};
    size_t first_ = 0, queued_ = 0; // the oldest block and how many wait, the one being written included
    bool failed_ = false;
    bool stop_ = false;
    std::thread thread_;
};
