#include "output/ParallelFlacEncoder.h"

#include "output/FlacFrameRenumber.h"

#include <algorithm>
#include <csignal>
#include <system_error>

#include <pthread.h>

namespace {

// A stretch holds about this many bytes of samples: enough blocks that starting an encoder for each costs
// little beside encoding them, few enough that the stretches under way stay small.
constexpr size_t kStretchBytes = 512 * 1024;
// Stretches under way (waiting, being encoded, or encoded and waiting for their turn) per worker: one
// being encoded and one ready, so that no worker idles while an earlier stretch is still being encoded.
constexpr uint64_t kStretchesPerWorker = 2;

// Frames go to the stretch's memory; the encoder's stream head goes nowhere.
FLAC__StreamEncoderWriteStatus Collect(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                       uint32_t samples, uint32_t, void* client) {
    if (samples == 0)
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    auto& [to, sizes] = *static_cast<std::pair<std::vector<uint8_t>*, std::vector<uint32_t>*>*>(client);
    to->insert(to->end(), buffer, buffer + bytes);
    sizes->push_back(static_cast<uint32_t>(bytes));
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderWriteStatus Discard(const FLAC__StreamEncoder*, const FLAC__byte[], size_t, uint32_t,
                                       uint32_t, void*) {
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

} // namespace

TParallelFlacEncoder::TParallelFlacEncoder(const TFlacEncoderSettings& settings, int workers, TOutput output,
                                           TInOrder inOrder)
    : settings_(settings), workerCount_(std::max(workers, 1)), output_(std::move(output)),
      inOrder_(std::move(inOrder)) {}

TParallelFlacEncoder::~TParallelFlacEncoder() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
    for (FLAC__StreamEncoder* encoder : encoders_)
        FLAC__stream_encoder_delete(encoder);
}

bool TParallelFlacEncoder::Start() {
    for (int i = 0; i < workerCount_; ++i) {
        FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
        if (!encoder)
            return false;
        encoders_.push_back(encoder);
    }
    // The block size and whether mid-side stereo is decided once a period, as libFLAC settles them for
    // these settings.
    FLAC__StreamEncoder* probe = encoders_.front();
    if (!ConfigureFlacEncoder(probe, settings_) ||
        FLAC__stream_encoder_init_stream(probe, Discard, nullptr, nullptr, nullptr, nullptr) !=
            FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return false;
    blockSize_ = FLAC__stream_encoder_get_blocksize(probe);
    const bool loose = FLAC__stream_encoder_get_do_mid_side_stereo(probe) &&
                       FLAC__stream_encoder_get_loose_mid_side_stereo(probe);
    if (!FLAC__stream_encoder_finish(probe) || blockSize_ == 0)
        return false;
    // libFLAC tries both channel assignments every 0.4 s of blocks, counted from the stream's first block.
    uint32_t period = 1;
    if (loose)
        period = std::max(
            1u, static_cast<uint32_t>(
                    static_cast<double>(settings_.sampleRate) * 0.4 / static_cast<double>(blockSize_) + 0.5));
    const size_t unit = static_cast<size_t>(blockSize_) * period * settings_.channels;
    stretchSamples_ = std::max<size_t>(1, kStretchBytes / sizeof(int32_t) / unit) * unit;

    // The workers take no interrupts: they are for the run to act on.
    sigset_t all, saved;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    bool started = true;
    try {
        for (FLAC__StreamEncoder* encoder : encoders_)
            threads_.emplace_back([this, encoder] { Work(encoder); });
    } catch (const std::system_error&) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return started;
}

bool TParallelFlacEncoder::Encode(std::vector<int32_t>& samples, size_t count) {
    std::unique_lock lock(mutex_);
    const uint64_t limit = kStretchesPerWorker * static_cast<uint64_t>(workerCount_);
    changed_.wait(lock, [this, limit] { return failed_ || handed_ - written_ < limit; });
    if (failed_)
        return false;
    TStretch stretch;
    if (!spare_.empty()) {
        stretch = std::move(spare_.back());
        spare_.pop_back();
    }
    stretch.index = handed_++;
    std::swap(stretch.samples, samples);
    stretch.count = count;
    waiting_.push_back(std::move(stretch));
    lock.unlock();
    changed_.notify_all();
    samples.resize(stretchSamples_);
    return true;
}

bool TParallelFlacEncoder::Finish() {
    std::unique_lock lock(mutex_);
    closing_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return failed_ || written_ == handed_; });
    lock.unlock();
    changed_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
    threads_.clear();
    return !failed_;
}

void TParallelFlacEncoder::Fail() {
    failed_ = true;
    stopping_ = true;
    changed_.notify_all();
}

void TParallelFlacEncoder::Work(FLAC__StreamEncoder* encoder) {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || closing_ || !waiting_.empty(); });
        if (stopping_ || waiting_.empty())
            return;
        TStretch stretch = std::move(waiting_.front());
        waiting_.pop_front();
        lock.unlock();
        const bool encoded = EncodeStretch(encoder, stretch);
        lock.lock();
        if (!encoded) {
            if (!stopping_)
                Fail();
            return;
        }
        encoded_.emplace(stretch.index, std::move(stretch));
        WriteReady(lock);
    }
}

// The stretch block by block, so that a stop is seen between blocks; the last block is encoded when the
// encoder finishes.
bool TParallelFlacEncoder::EncodeStretch(FLAC__StreamEncoder* encoder, TStretch& stretch) {
    stretch.bytes.clear();
    stretch.frameSizes.clear();
    std::pair client(&stretch.bytes, &stretch.frameSizes);
    if (!ConfigureFlacEncoder(encoder, settings_) ||
        FLAC__stream_encoder_init_stream(encoder, Collect, nullptr, nullptr, nullptr, &client) !=
            FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return false;
    const size_t block = static_cast<size_t>(blockSize_) * settings_.channels;
    for (size_t at = 0; at < stretch.count; at += block) {
        const size_t count = std::min(block, stretch.count - at);
        if (stopping_ ||
            !FLAC__stream_encoder_process_interleaved(encoder, stretch.samples.data() + at,
                                                      static_cast<uint32_t>(count / settings_.channels)))
            return false;
    }
    return FLAC__stream_encoder_finish(encoder);
}

void TParallelFlacEncoder::WriteReady(std::unique_lock<std::mutex>& lock) {
    if (writing_)
        return;
    writing_ = true;
    for (auto next = encoded_.find(written_); !stopping_ && next != encoded_.end();
         next = encoded_.find(written_)) {
        TStretch stretch = std::move(next->second);
        encoded_.erase(next);
        lock.unlock();
        const bool written = WriteStretch(stretch);
        lock.lock();
        spare_.push_back(std::move(stretch));
        if (!written) {
            Fail();
            break;
        }
        ++written_;
        changed_.notify_all();
    }
    writing_ = false;
}

bool TParallelFlacEncoder::WriteStretch(const TStretch& stretch) {
    inOrder_(stretch.samples.data(), stretch.count);
    const uint8_t* frame = stretch.bytes.data();
    for (const uint32_t size : stretch.frameSizes) {
        TRenumberedFrame renumbered;
        if (frameNumber_ > 0x7FFFFFFF ||
            !RenumberFlacFrame(frame, size, static_cast<uint32_t>(frameNumber_), renumbered) ||
            !output_(renumbered.header, renumbered.headerSize) ||
            !output_(frame + renumbered.bodyOffset, size - renumbered.bodyOffset - 2) ||
            !output_(renumbered.crc16, 2))
            return false;
        const auto bytes = static_cast<uint32_t>(renumbered.Size(size));
        minFrameBytes_ = std::min(minFrameBytes_, bytes);
        maxFrameBytes_ = std::max(maxFrameBytes_, bytes);
        ++frameNumber_;
        frame += size;
    }
    frames_ += stretch.count / settings_.channels;
    return true;
}
