#include "output/WavPackSink.h"

#include "mmio/MMIOFile.h"
#include "output/EncoderName.h"
#include "output/WaveWriter.h"

#include <openssl/evp.h>
#include <wavpack/wavpack.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Samples go to libwavpack this many at a time.
constexpr size_t kChunkSamples = 16384;

int BlockOut(void* client, void* data, int32_t count) {
    return static_cast<TWavPackSink*>(client)->WriteBlock(data, count) ? 1 : 0;
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// The speakers WavPack assumes for a channel count, as its own tool gives a WAVE file without a mask.
uint32_t DefaultMask(int channels) {
    return channels <= 2 ? 0x5u - static_cast<uint32_t>(channels) : (1u << channels) - 1;
}

// libwavpack's flags for a compression level.
int LevelFlags(int level) {
    switch (level < 0 ? TWavPackSink::kDefaultLevel : std::min(level, TWavPackSink::kMaxLevel)) {
    case 0:
        return CONFIG_FAST_FLAG;
    case 1:
        return 0;
    case 2:
        return CONFIG_HIGH_FLAG;
    default:
        return CONFIG_HIGH_FLAG | CONFIG_VERY_HIGH_FLAG;
    }
}

} // namespace

int64_t WavPackFrameLimit(const TAudioFormat&, const TSinkSettings&) {
    return TWavPackSink::kFrameLimit;
}

std::unique_ptr<TAudioSink> MakeWavPackSink(const TSinkSettings& settings, const TOutputMetadata& metadata) {
    return std::make_unique<TWavPackSink>(settings, metadata);
}

bool WavPackTakesTag(std::string_view name, const TSinkSettings&) {
    if (name.size() < 2 || name.size() > 255)
        return false;
    for (const char* reserved : {"ID3", "TAG", "OggS", "MP+"})
        if (SameName(name, reserved))
            return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

std::vector<TUserTag> WavPackTags(const TOutputMetadata& metadata) {
    std::vector<TUserTag> automatic{
        {"Encoder", metadata.encoder.empty() ? EncoderName() : metadata.encoder},
        {"Title", metadata.title},
        {"Album", metadata.album},
        {"Artist", metadata.artist},
    };
    if (metadata.trackNumber > 0)
        automatic.push_back(
            {"Track", std::to_string(metadata.trackNumber) +
                          (metadata.trackTotal > 0 ? "/" + std::to_string(metadata.trackTotal) : "")});
    if (metadata.preEmphasis)
        automatic.push_back({"PRE_EMPHASIS", "1"});

    std::vector<TUserTag> given;
    for (const TUserTag& user : metadata.userTags) {
        // Named, not bound: clang 14 cannot capture a structured binding.
        const std::string &name = user.first, &value = user.second;
        const auto same = [&name](const TUserTag& tag) { return SameName(tag.first, name); };
        std::erase_if(automatic, same);
        if (const auto known = std::find_if(given.begin(), given.end(), same); known != given.end()) {
            // APEv2 has one item per name: its values are separated by NULs.
            if (known->second.empty() || value.empty())
                known->second += value;
            else
                known->second += '\0' + value;
        } else {
            given.push_back({name, value});
        }
    }
    automatic.insert(automatic.end(), given.begin(), given.end());
    std::erase_if(automatic,
                  [](const TUserTag& tag) { return tag.second.empty() || !WavPackTakesTag(tag.first, {}); });
    return automatic;
}

struct TWavPackSink::TMd5 {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~TMd5() { EVP_MD_CTX_free(context); }
};

TWavPackSink::TWavPackSink(const TSinkSettings& settings, TOutputMetadata metadata)
    : level_(settings.level), metadata_(std::move(metadata)) {}

TWavPackSink::~TWavPackSink() {
    // Not finished: the output goes, and nothing more reaches it.
    abandoned_ = true;
    Close();
}

void TWavPackSink::Close() {
    if (context_)
        WavpackCloseFile(context_);
    context_ = nullptr;
}

bool TWavPackSink::WriteBlock(const void* data, int32_t count) {
    if (abandoned_ || failed_ || !file_)
        return false;
    if (firstBlock_.empty() && count >= 4 && std::memcmp(data, "wvpk", 4) == 0) {
        firstBlockAt_ = file_->Position();
        const auto* bytes = static_cast<const uint8_t*>(data);
        // Called from libwavpack's C code, which nothing may unwind through.
        try {
            firstBlock_.assign(bytes, bytes + count);
        } catch (const std::bad_alloc&) {
            failed_ = true;
            return false;
        }
    }
    if (file_->Write(data, count) != count)
        failed_ = true;
    return !failed_;
}

bool TWavPackSink::Begin(TMMIOFile& file, const TAudioFormat& format) {
    // A sink that could not begin takes no samples.
    failed_ = !Start(file, format);
    return !failed_;
}

bool TWavPackSink::Start(TMMIOFile& file, const TAudioFormat& format) {
    file_ = &file;
    format_ = format;
    if (format.channels < 1 || format.channels > 8 ||
        (format.containerBytes != 2 && format.containerBytes != 3))
        return false;
    md5_ = std::make_unique<TMd5>();
    context_ = WavpackOpenFileOutput(BlockOut, this, nullptr);
    if (!context_ || !md5_->context || EVP_DigestInit_ex(md5_->context, EVP_md5(), nullptr) != 1)
        return false;
    WavpackConfig config{};
    config.num_channels = format.channels;
    config.sample_rate = static_cast<int32_t>(format.sampleRate);
    config.bits_per_sample = format.validBits;
    config.bytes_per_sample = format.containerBytes;
    if (format_.channelMask == 0)
        format_.channelMask = DefaultMask(format.channels);
    config.channel_mask = static_cast<int32_t>(format_.channelMask);
    config.flags = LevelFlags(level_) | CONFIG_MD5_CHECKSUM;
    // The length is unknown until Finish: that is what the first block says meanwhile.
    if (!WavpackSetConfiguration64(context_, &config, -1, nullptr) || !WavpackPackInit(context_))
        return false;
    // The WAVE header an unpacked file gets is our own WAVE output's, its sizes 0 until Finish.
    std::vector<uint8_t> header = ProvisionalWaveHeader(format_);
    if (!WavpackAddWrapper(context_, header.data(), static_cast<uint32_t>(header.size())))
        return false;
    // The tags wait in the context for Finish; one too large for APEv2 fails here, before any samples.
    for (const auto& [name, value] : WavPackTags(metadata_))
        if (!WavpackAppendTagItem(context_, name.c_str(), value.data(), static_cast<int>(value.size())))
            return false;
    samples_.resize(kChunkSamples / format.channels * format.channels);
    return true;
}

bool TWavPackSink::Write(const uint8_t* bytes, int32_t count) {
    if (failed_ || !context_)
        return false;
    const size_t width = format_.containerBytes;
    const size_t frameBytes = format_.BlockAlign();
    const auto frames = static_cast<int64_t>(static_cast<size_t>(count) / frameBytes);
    // More than the counts can say: the output fails rather than claim a wrong length.
    if (framesWritten_ + frames > kFrameLimit) {
        failed_ = true;
        return false;
    }
    // WavPack's MD5 is that of the samples as a WAVE file holds them: the container bytes themselves.
    EVP_DigestUpdate(md5_->context, bytes, frames * frameBytes);
    size_t samples = static_cast<size_t>(frames) * format_.channels;
    while (samples > 0) {
        const size_t n = std::min(samples, samples_.size());
        int32_t* to = samples_.data();
        // Each container's value, sign-extended, the padding below the valid bits kept (it is zero).
        if (width == 2)
            for (size_t i = 0; i < n; ++i, bytes += 2)
                to[i] = static_cast<int16_t>(bytes[0] | bytes[1] << 8);
        else
            for (size_t i = 0; i < n; ++i, bytes += 3)
                to[i] = static_cast<int32_t>(
                            static_cast<uint32_t>(bytes[0] << 8 | bytes[1] << 16 | bytes[2] << 24)) >>
                        8;
        if (!WavpackPackSamples(context_, to, static_cast<uint32_t>(n / format_.channels)) || failed_) {
            failed_ = true;
            return false;
        }
        samples -= n;
    }
    framesWritten_ += frames;
    return true;
}

bool TWavPackSink::Finish(int64_t) {
    const bool finished = !failed_ && context_ && Complete() && !failed_;
    Close();
    return finished;
}

// The last samples; the MD5, in a block of its own; the tag; then the first block again with the totals in
// its header and in the WAVE header it carries (wvunpack adds the pad byte after odd data itself).
bool TWavPackSink::Complete() {
    // WavPack has no stream without samples: libwavpack refuses a length of 0, wvunpack such a file.
    if (framesWritten_ == 0)
        return false;
    const int64_t dataBytes = framesWritten_ * format_.BlockAlign();
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (!WavpackFlushSamples(context_) || EVP_DigestFinal_ex(md5_->context, digest, &length) != 1 ||
        length != 16 || !WavpackStoreMD5Sum(context_, digest) || !WavpackFlushSamples(context_) ||
        !WavpackWriteTag(context_) || failed_ || firstBlock_.empty())
        return false;
    const std::vector<uint8_t> header = BuildWaveWriterHeader(format_, dataBytes);
    uint32_t headerBytes = 0;
    auto* const wrapper = static_cast<uint8_t*>(WavpackGetWrapperLocation(firstBlock_.data(), &headerBytes));
    if (!wrapper || headerBytes != header.size())
        return false;
    std::memcpy(wrapper, header.data(), header.size());
    WavpackUpdateNumSamples(context_, firstBlock_.data());
    const auto size = static_cast<int32_t>(firstBlock_.size());
    return file_->SeekTo(firstBlockAt_) == firstBlockAt_ && file_->Write(firstBlock_.data(), size) == size;
}

void TWavPackSink::Abandon() {
    abandoned_ = true;
    failed_ = true;
    Close();
}
