#pragma once

#include "output/FlacEncoderSettings.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// FLAC frames encoded on several threads. Consecutive stretches of whole blocks go to the workers, each
// with a libFLAC encoder of the same settings writing to memory, and their frames are joined in order into
// one stream, each given its number in the whole stream. The frames are those one encoder writes for the
// same samples: each stretch starts a block, and where libFLAC decides mid-side stereo once every few
// blocks (levels 1 and 4), a period of that decision. Only the last stretch may end in a short block.
// Memory stays within a few stretches (about half a megabyte of samples each) per worker.
class TParallelFlacEncoder {
public:
    // Takes the joined stream's frames in order, from one thread at a time. False fails the encoder.
    using TOutput = std::function<bool(const uint8_t* bytes, size_t count)>;
    // Takes each stretch's interleaved samples just before its frames, likewise in order.
    using TInOrder = std::function<void(const int32_t* samples, size_t count)>;

    TParallelFlacEncoder(const TFlacEncoderSettings& settings, int workers, TOutput output, TInOrder inOrder);
    // Stops the workers after the block each has under way; what is not yet written is lost.
    ~TParallelFlacEncoder();

    // Starts the workers. False when libFLAC refuses the settings or a thread cannot start.
    bool Start();
    // Interleaved samples in a stretch: whole blocks of all channels.
    size_t StretchSamples() const { return stretchSamples_; }
    // Queues the first `count` interleaved samples of `samples`, a whole stretch unless they are the last,
    // and leaves room for the next stretch in `samples`; waits while the workers are that far behind.
    // False once a worker has failed.
    bool Encode(std::vector<int32_t>& samples, size_t count);
    // Waits until every stretch is encoded and written. False when a worker failed.
    bool Finish();

    // The stream written, once finished: its frames' smallest and largest sizes as STREAMINFO gives them
    // (0xFFFFFF and 0 for no frame, as libFLAC leaves them), and its samples per channel.
    uint32_t MinFrameBytes() const { return minFrameBytes_; }
    uint32_t MaxFrameBytes() const { return maxFrameBytes_; }
    uint64_t Frames() const { return frames_; }

private:
    struct TStretch {
        uint64_t index = 0;
        std::vector<int32_t> samples;
        size_t count = 0;
        std::vector<uint8_t> bytes;       // the frames as the worker's encoder wrote them
        std::vector<uint32_t> frameSizes; // and their sizes
    };

    void Work(FLAC__StreamEncoder* encoder);
    bool EncodeStretch(FLAC__StreamEncoder* encoder, TStretch& stretch);
    // Writes the encoded stretches that are next in order, unless another thread is at it.
    void WriteReady(std::unique_lock<std::mutex>& lock);
    bool WriteStretch(const TStretch& stretch);
    void Fail(); // with the mutex held

    TFlacEncoderSettings settings_;
    int workerCount_;
    TOutput output_;
    TInOrder inOrder_;
    uint32_t blockSize_ = 0;
    size_t stretchSamples_ = 0;
    std::vector<FLAC__StreamEncoder*> encoders_;
    std::vector<std::thread> threads_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TStretch> waiting_;         // handed over, not yet taken by a worker
    std::map<uint64_t, TStretch> encoded_; // encoded, waiting for their turn to be written
    std::vector<TStretch> spare_;          // emptied, their buffers kept for the next ones
    uint64_t handed_ = 0;
    uint64_t written_ = 0;
    bool writing_ = false;
    bool closing_ = false; // no more stretches come
    bool failed_ = false;
    std::atomic<bool> stopping_ = false;

    // The joined stream so far, kept by the thread that writes.
    uint64_t frameNumber_ = 0;
    uint32_t minFrameBytes_ = 0xFFFFFF;
    uint32_t maxFrameBytes_ = 0;
    uint64_t frames_ = 0;
};
