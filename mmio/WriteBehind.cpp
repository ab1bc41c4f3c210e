#include "mmio/WriteBehind.h"

#include <csignal>
#include <pthread.h>

TWriteBehind::TWriteBehind(TWrite write) : write_(std::move(write)) {
    // The thread inherits the signal mask of the one that makes it.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    try {
        thread_ = std::thread([this] { Work(); });
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        throw;
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

TWriteBehind::~TWriteBehind() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    posted_.notify_one();
    thread_.join();
}

void TWriteBehind::Post(const char* data, int64_t count) {
    {
        std::lock_guard lock(mutex_);
        queue_[(first_ + queued_) % kMaxQueued] = {data, count};
        ++queued_;
    }
    posted_.notify_one();
}

bool TWriteBehind::WaitUntil(size_t queued) {
    std::unique_lock lock(mutex_);
    written_.wait(lock, [&] { return queued_ <= queued; });
    return !failed_;
}

void TWriteBehind::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        posted_.wait(lock, [this] { return queued_ > 0 || stop_; });
        if (queued_ == 0)
            return;
        const Block block = queue_[first_];
        const bool skip = failed_;
        lock.unlock();
        const bool ok = skip || write_(block.data, block.count);
        lock.lock();
        failed_ = failed_ || !ok;
        first_ = (first_ + 1) % kMaxQueued;
        --queued_;
        written_.notify_one();
    }
}
