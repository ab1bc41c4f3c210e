#include "mmio/WriteBehind.h"

#include <csignal>
#include <pthread.h>

TWriteBehind::TWriteBehind(TWrite write) : write_(std::move(write)) {
    // The thread inherits the signal mask of the one that makes it.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    thread_ = std::thread([this] { Work(); });
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

TWriteBehind::~TWriteBehind() {
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !pending_; });
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void TWriteBehind::Post(const char* data, int64_t count) {
    {
        std::lock_guard lock(mutex_);
        data_ = data;
        count_ = count;
        pending_ = true;
    }
    changed_.notify_all();
}

bool TWriteBehind::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    const bool ok = ok_;
    ok_ = true;
    return ok;
}

void TWriteBehind::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || stop_; });
        if (!pending_)
            return;
        const char* data = data_;
        const int64_t count = count_;
        lock.unlock();
        const bool ok = write_(data, count);
        lock.lock();
        ok_ = ok;
        pending_ = false;
        changed_.notify_all();
    }
}
