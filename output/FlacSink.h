#pragma once

#include "output/AudioSink.h"
#include "output/OutputFormat.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A Vorbis comment: its name (ASCII, no '=') and its UTF-8 value.
using TFlacTag = std::pair<std::string, std::string>;

// The comments of an output: `automatic` (ENCODER first, then what the run knows of the output), each
// replaced by a given one of its name (compared without regard to ASCII case), then the other given ones.
std::vector<TFlacTag> MergedTags(const std::vector<TFlacTag>& automatic, const std::vector<TFlacTag>& given);
// What every FLAC output says of its maker.
TFlacTag EncoderTag();

// A FLAC file at the source's own resolution: the samples' valid bits (20 stays 20), the format's rate
// and channels, STREAMINFO with the sample count and the samples' MD5. libFLAC writes through the run's
// file object. Until Finish, STREAMINFO says the length is unknown and carries no MD5, so that a file left
// by a killed process claims no samples it lacks; Finish rewrites it with the totals.
// The encoder runs on a thread of its own, a few blocks of samples behind the run, so that reading and
// decoding the input cost next to nothing beside it; what fails there fails the next Write or Finish.
// With more than one thread, stretches of whole blocks are encoded on each and their frames joined in
// order: the file is the same, byte for byte.
// The FLAC row of the output formats.
bool FlacTakesTag(std::string_view name, const TSinkSettings& settings);
int64_t FlacFrameLimit(const TAudioFormat& format, const TSinkSettings& settings);
std::unique_ptr<TAudioSink> MakeFlacSink(const TSinkSettings& settings, const TOutputMetadata& metadata);

class TFlacSink final : public TAudioSink {
public:
    static constexpr int kDefaultLevel = 5;

    // The metadata's fields become Vorbis comments (ENCODER always), the user's tags replacing those of
    // their names; its chapter starts (the first at 0) a CUESHEET (not CD-DA) with a track per chapter and
    // the lead-out at the end.
    explicit TFlacSink(const TSinkSettings& settings = {}, const TOutputMetadata& metadata = {});
    ~TFlacSink() override;

    int64_t FrameLimit(const TAudioFormat&) const override { return kNoFrameLimit; }
    bool Begin(TMMIOFile& file, const TAudioFormat& format) override;
    bool Write(const uint8_t* bytes, int32_t count) override;
    bool Finish(int64_t dataBytes) override;
    // The CUESHEET's track offsets as found; a sheet left out at Begin stays out.
    void SetChapterStarts(const std::vector<int64_t>& starts) override;
    void Abandon() override;
    // The threads that encode (before Begin): 0 for the machine's cores.
    void SetThreads(int threads) { threads_ = threads; }

    // The callbacks' view of the file.
    TMMIOFile* File() const { return abandoned_ ? nullptr : file_; }

private:
    // libFLAC's encoder, the metadata blocks it writes, and the thread it runs on.
    struct TEncoder;

    bool Start(TMMIOFile& file, const TAudioFormat& format);
    bool HandOver();
    bool AddCueSheet();
    bool FinishCueSheet();
    void AddToMd5(TEncoder& encoder, const uint8_t* bytes, const int32_t* samples, size_t count);
    bool FinishMd5();
    bool FinishStreamInfo();

    int level_;
    int threads_ = 0;
    std::vector<TFlacTag> tags_;
    std::vector<int64_t> chapterStarts_;
    bool preEmphasis_ = false;
    uint64_t framesWritten_ = 0;
    TMMIOFile* file_ = nullptr;
    std::unique_ptr<TEncoder> encoder_;
    TAudioFormat format_{};
    int shift_ = 0; // container bits beyond the valid ones
    std::vector<int32_t> filling_;
    size_t filled_ = 0;
    std::atomic<bool> abandoned_ = false;
    bool failed_ = false;
};
