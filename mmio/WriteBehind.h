#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

// One write at a time on a thread of its own: the caller hands a block over and goes on, and waits for it
// only before it hands over the next or does anything else with the file. The thread takes no signals:
// they stay with the program's own threads, which stop a run cleanly.
class TWriteBehind {
public:
    // `write` writes a block whole, or returns false.
    using TWrite = std::function<bool(const char* data, int64_t count)>;

    explicit TWriteBehind(TWrite write);
    ~TWriteBehind(); // waits for the write under way
    TWriteBehind(const TWriteBehind&) = delete;
    TWriteBehind& operator=(const TWriteBehind&) = delete;

    // Hands a block over; the one before must have been waited for. It stays untouched until Wait.
    void Post(const char* data, int64_t count);
    // Waits for the block handed over last (if any): false when its write failed.
    bool Wait();

private:
    void Work();

    TWrite write_;
    std::mutex mutex_;
    std::condition_variable changed_;
    const char* data_ = nullptr;
    int64_t count_ = 0;
    bool pending_ = false; // a block is handed over and not yet written
    bool ok_ = true;
    bool stop_ = false;
    std::thread thread_;
};
