#pragma once

#include "output/AudioSink.h"
#include "output/OutputFormat.h"
#include "output/OutputMetadata.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct WavpackContext;

// The WavPack row: the most frames an output holds, what its 32-bit sample counts can say (all ones means
// "unknown"), so that every decoder, those before the 40-bit counts included, reads the length right; the
// user tags APEv2 takes (names of 2 to 255 printable ASCII characters, but ID3, TAG, OggS and MP+); the sink.
int64_t WavPackFrameLimit(const TAudioFormat& format, const TSinkSettings& settings);
bool WavPackTakesTag(std::string_view name, const TSinkSettings& settings);
std::unique_ptr<TAudioSink> MakeWavPackSink(const TSinkSettings& settings, const TOutputMetadata& metadata);

// The APEv2 items of an output, in order: Encoder (EncoderName() unless the record names one), Title,
// Album, Artist, Track ("N" or "N/M"), PRE_EMPHASIS ("1", as FLAC's comment), each replaced by a user tag
// of its name (compared without regard to ASCII case), then the other user tags. User tags of one name
// become one item of several values; an empty value drops the item; names APEv2 does not take are left out.
std::vector<TUserTag> WavPackTags(const TOutputMetadata& metadata);

// A WavPack file at the source's own resolution (20 bits stay 20 in 3-byte containers), lossless, with
// the channel mask, the samples' MD5 and APEv2 tags, written by libwavpack through the run's file object.
// Until Finish, the first block says the length is unknown, so that a file left by a killed process claims
// no samples it lacks; Finish adds the MD5 and the tags, then rewrites the first block with the totals.
// Compression: settings.level 0 fast, 1 normal, 2 high (the default, as `wavpack -h`), 3 very high; a
// higher level is very high. libwavpack 5.6 encodes on the caller's thread: settings.threads waits for the
// worker threads of libwavpack 5.7.
class TWavPackSink final : public TAudioSink {
public:
    static constexpr int64_t kFrameLimit = 0xFFFFFFFE;
    static constexpr int kDefaultLevel = 2;
    static constexpr int kMaxLevel = 3;

    TWavPackSink(const TSinkSettings& settings, TOutputMetadata metadata);
    ~TWavPackSink() override;

    int64_t FrameLimit(const TAudioFormat&) const override { return kFrameLimit; }
    bool Begin(TMMIOFile& file, const TAudioFormat& format) override;
    bool Write(const uint8_t* bytes, int32_t count) override;
    bool Finish(int64_t dataBytes) override;
    void Abandon() override;

    // libwavpack's output: a block, or a piece of the tag. False when the file did not take it.
    bool WriteBlock(const void* data, int32_t count);

private:
    bool Start(TMMIOFile& file, const TAudioFormat& format);
    bool Complete();
    void Close();

    int level_;
    TOutputMetadata metadata_;
    TMMIOFile* file_ = nullptr;
    WavpackContext* context_ = nullptr;
    struct TMd5;
    std::unique_ptr<TMd5> md5_;
    TAudioFormat format_{};
    std::vector<int32_t> samples_;
    int64_t framesWritten_ = 0;
    // The first block as written, and where: Finish puts the length in it and writes it again.
    std::vector<uint8_t> firstBlock_;
    int64_t firstBlockAt_ = -1;
    bool abandoned_ = false;
    bool failed_ = false;
};
