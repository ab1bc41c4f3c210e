#include "output/FlacSink.h"

#include "mmio/MMIOFile.h"
#include "output/EncoderName.h"
#include "output/FlacEncoderSettings.h"
#include "output/ParallelFlacEncoder.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <openssl/evp.h>

#include <algorithm>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include <pthread.h>

namespace {

// Samples go to the encoder's thread in blocks of about 256 KiB, at most this many waiting: enough to
// ride out the run's uneven reads, little enough that memory stays flat with the input's length.
constexpr size_t kBlockBytes = 256 * 1024;
constexpr size_t kQueuedBlocks = 3;

// The speakers FLAC assumes for a channel count; a source with others says its own in a tag, as the flac
// tool does.
constexpr uint32_t kFlacDefaultMasks[9] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};

FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                          uint32_t, uint32_t, void* client) {
    TMMIOFile* file = static_cast<TFlacSink*>(client)->File();
    const auto count = static_cast<int32_t>(bytes);
    return file && file->Write(buffer, count) == count ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                                                       : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client) {
    TMMIOFile* file = static_cast<TFlacSink*>(client)->File();
    const auto position = static_cast<int64_t>(offset);
    return file && file->SeekTo(position) == position ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                                                      : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client) {
    TMMIOFile* file = static_cast<TFlacSink*>(client)->File();
    const int64_t position = file ? file->Position() : -1;
    if (position < 0)
        return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = static_cast<FLAC__uint64>(position);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool AppendComment(FLAC__StreamMetadata* block, const std::string& name, const std::string& value) {
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    return FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name.c_str(),
                                                                          value.c_str()) &&
           FLAC__metadata_object_vorbiscomment_append_comment(block, entry, false);
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace

std::vector<TFlacTag> MergedTags(const std::vector<TFlacTag>& automatic, const std::vector<TFlacTag>& given) {
    std::vector<TFlacTag> tags;
    for (const TFlacTag& tag : automatic)
        if (std::none_of(given.begin(), given.end(),
                         [&tag](const TFlacTag& other) { return Upper(other.first) == Upper(tag.first); }))
            tags.push_back(tag);
    tags.insert(tags.end(), given.begin(), given.end());
    return tags;
}

TFlacTag EncoderTag() {
    return {"ENCODER", EncoderName()};
}

struct TFlacSink::TEncoder {
    FLAC__StreamEncoder* encoder = nullptr;
    std::vector<FLAC__StreamMetadata*> blocks;
    // The samples' MD5 is summed on the run's thread, which has time to spare, not by libFLAC on the
    // encoder's: in FLAC's layout, each sample in its whole bytes, little-endian.
    EVP_MD_CTX* md5 = nullptr;
    std::vector<uint8_t> md5Bytes;

    // Blocks of whole frames; the encoder's thread takes them oldest first.
    struct TBlock {
        std::vector<int32_t> samples;
        size_t count = 0;
    };
    uint32_t channels = 0;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<TBlock> queued;
    std::vector<std::vector<int32_t>> spare;
    bool closing = false;  // no more blocks come: the thread ends once the queued ones are encoded
    bool stopping = false; // the thread ends after the block under way
    bool failed = false;   // libFLAC failed (a failed write): the thread has ended
    // With more than one thread: the workers, and `encoder` only wrote the stream's head.
    std::unique_ptr<TParallelFlacEncoder> parallel;

    void Run();
    // Ends the thread: when `drain`, after the queued blocks. False when libFLAC failed.
    bool Join(bool drain);

    ~TEncoder() {
        parallel.reset();
        Join(false);
        if (encoder)
            FLAC__stream_encoder_delete(encoder);
        EVP_MD_CTX_free(md5);
        for (FLAC__StreamMetadata* block : blocks)
            FLAC__metadata_object_delete(block);
    }
};

void TFlacSink::TEncoder::Run() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || closing || !queued.empty(); });
        if (stopping || queued.empty())
            return;
        TBlock block = std::move(queued.front());
        queued.pop_front();
        changed.notify_all();
        lock.unlock();
        const bool encoded = FLAC__stream_encoder_process_interleaved(
            encoder, block.samples.data(), static_cast<uint32_t>(block.count / channels));
        lock.lock();
        spare.push_back(std::move(block.samples));
        if (!encoded) {
            failed = true;
            changed.notify_all();
            return;
        }
    }
}

bool TFlacSink::TEncoder::Join(bool drain) {
    if (thread.joinable()) {
        {
            const std::lock_guard lock(mutex);
            (drain ? closing : stopping) = true;
        }
        changed.notify_all();
        thread.join();
    }
    return !failed;
}

namespace {

// The comments the metadata makes, in the order they are written.
std::vector<TFlacTag> AutomaticTags(const TOutputMetadata& metadata) {
    std::vector<TFlacTag> tags = {EncoderTag()};
    if (!metadata.encoder.empty())
        tags.front().second = metadata.encoder;
    const auto add = [&tags](const char* name, const std::string& value) {
        if (!value.empty())
            tags.emplace_back(name, value);
    };
    add("ALBUM", metadata.album);
    add("TITLE", metadata.title);
    add("ARTIST", metadata.artist);
    if (metadata.trackNumber > 0)
        add("TRACKNUMBER", std::to_string(metadata.trackNumber));
    if (metadata.trackTotal > 0)
        add("TRACKTOTAL", std::to_string(metadata.trackTotal));
    if (metadata.preEmphasis)
        add("PRE_EMPHASIS", "1");
    return tags;
}

} // namespace

TFlacSink::TFlacSink(const TSinkSettings& settings, const TOutputMetadata& metadata)
    : level_(settings.level >= 0 && settings.level <= 8 ? settings.level : kDefaultLevel),
      tags_(MergedTags(AutomaticTags(metadata), metadata.userTags)), chapterStarts_(metadata.chapterStarts),
      preEmphasis_(metadata.preEmphasis) {
    threads_ = settings.threads;
}

// A Vorbis comment takes any name.
bool FlacTakesTag(std::string_view, const TSinkSettings&) {
    return true;
}

int64_t FlacFrameLimit(const TAudioFormat&, const TSinkSettings&) {
    return TAudioSink::kNoFrameLimit;
}

std::unique_ptr<TAudioSink> MakeFlacSink(const TSinkSettings& settings, const TOutputMetadata& metadata) {
    return std::make_unique<TFlacSink>(settings, metadata);
}

namespace {

// The CUESHEET goes first after STREAMINFO: its body at 4 + 38 + 4 bytes. The lead-out's offset follows
// the sheet's 396 fixed bytes and a 36-byte track with one 12-byte index per chapter; track i's offset
// lies where the lead-out's would for i chapters.
constexpr int64_t kCueSheetBody = 46;
int64_t LeadOutOffsetPosition(size_t chapters) {
    return kCueSheetBody + 396 + 48 * static_cast<int64_t>(chapters);
}
constexpr uint32_t kLeadOutNonCd = 255;
// STREAMINFO's MD5, after "fLaC", the block's header and 18 bytes of sizes and format.
constexpr int64_t kMd5Position = 26;
// Its smallest and largest frame sizes, after the block sizes; its sample count, in the low half of the
// byte that ends the bits per sample and the four after it.
constexpr int64_t kFrameSizesPosition = 12;
constexpr int64_t kTotalSamplesPosition = 21;

} // namespace

bool TFlacSink::AddCueSheet() {
    FLAC__StreamMetadata* sheet = FLAC__metadata_object_new(FLAC__METADATA_TYPE_CUESHEET);
    if (!sheet)
        return false;
    encoder_->blocks.push_back(sheet);
    sheet->data.cue_sheet.is_cd = false;
    for (size_t i = 0; i < chapterStarts_.size(); ++i) {
        const auto track = static_cast<uint32_t>(i);
        if (!FLAC__metadata_object_cuesheet_insert_blank_track(sheet, track) ||
            !FLAC__metadata_object_cuesheet_track_insert_blank_index(sheet, track, 0))
            return false;
        FLAC__StreamMetadata_CueSheet_Track& entry = sheet->data.cue_sheet.tracks[i];
        entry.offset = static_cast<FLAC__uint64>(chapterStarts_[i]);
        entry.number = static_cast<FLAC__byte>(i + 1);
        entry.pre_emphasis = preEmphasis_ ? 1 : 0;
        entry.indices[0].number = 1;
    }
    // The lead-out's offset is the length, known at Finish.
    const auto leadOut = static_cast<uint32_t>(chapterStarts_.size());
    if (!FLAC__metadata_object_cuesheet_insert_blank_track(sheet, leadOut))
        return false;
    sheet->data.cue_sheet.tracks[leadOut].number = kLeadOutNonCd;
    return FLAC__metadata_object_cuesheet_is_legal(sheet, false, nullptr);
}

void TFlacSink::SetChapterStarts(const std::vector<int64_t>& starts) {
    if (starts.size() == chapterStarts_.size())
        chapterStarts_ = starts;
}

// The tracks' offsets, as finally found, and the lead-out's, big-endian, once libFLAC has finished the file.
bool TFlacSink::FinishCueSheet() {
    const auto writeOffset = [this](int64_t position, uint64_t offset) {
        uint8_t bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = static_cast<uint8_t>(offset >> (56 - 8 * i));
        return file_->SeekTo(position) == position && file_->Write(bytes, 8) == 8;
    };
    for (size_t i = 0; i < chapterStarts_.size(); ++i) {
        const auto offset = std::min(static_cast<uint64_t>(chapterStarts_[i]), framesWritten_);
        if (!writeOffset(LeadOutOffsetPosition(i), offset))
            return false;
    }
    return chapterStarts_.empty() ||
           writeOffset(LeadOutOffsetPosition(chapterStarts_.size()), framesWritten_);
}

bool TFlacSink::FinishMd5() {
    uint8_t digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    return EVP_DigestFinal_ex(encoder_->md5, digest, &length) == 1 && length == 16 &&
           file_->SeekTo(kMd5Position) == kMd5Position && file_->Write(digest, 16) == 16;
}

// What libFLAC's encoder rewrites at its end, for the frames the workers wrote.
bool TFlacSink::FinishStreamInfo() {
    const TParallelFlacEncoder& parallel = *encoder_->parallel;
    const uint32_t least = parallel.MinFrameBytes();
    const uint32_t most = parallel.MaxFrameBytes();
    const uint8_t sizes[6] = {static_cast<uint8_t>(least >> 16), static_cast<uint8_t>(least >> 8),
                              static_cast<uint8_t>(least),       static_cast<uint8_t>(most >> 16),
                              static_cast<uint8_t>(most >> 8),   static_cast<uint8_t>(most)};
    // As libFLAC: a count beyond the field's 36 bits is unknown.
    const uint64_t frames = parallel.Frames() > uint64_t{1} << 36 ? 0 : parallel.Frames();
    const uint8_t total[5] = {static_cast<uint8_t>((format_.validBits - 1) << 4 | (frames >> 32 & 0x0F)),
                              static_cast<uint8_t>(frames >> 24), static_cast<uint8_t>(frames >> 16),
                              static_cast<uint8_t>(frames >> 8), static_cast<uint8_t>(frames)};
    return file_->SeekTo(kFrameSizesPosition) == kFrameSizesPosition && file_->Write(sizes, 6) == 6 &&
           file_->SeekTo(kTotalSamplesPosition) == kTotalSamplesPosition && file_->Write(total, 5) == 5;
}

TFlacSink::~TFlacSink() {
    // Not finished: the output goes, and nothing more reaches it.
    abandoned_ = true;
    encoder_.reset();
}

bool TFlacSink::Begin(TMMIOFile& file, const TAudioFormat& format) {
    // A sink that could not begin takes no samples.
    failed_ = !Start(file, format);
    return !failed_;
}

bool TFlacSink::Start(TMMIOFile& file, const TAudioFormat& format) {
    file_ = &file;
    format_ = format;
    shift_ = format.containerBytes * 8 - format.validBits;
    encoder_ = std::make_unique<TEncoder>();
    encoder_->channels = format.channels;
    FLAC__StreamEncoder* const encoder = encoder_->encoder = FLAC__stream_encoder_new();
    if (!encoder)
        return false;
    // Track numbers are bytes, 255 the lead-out's: a title of more chapters gets no sheet.
    if (chapterStarts_.size() >= kLeadOutNonCd)
        chapterStarts_.clear();
    if (!chapterStarts_.empty() && !AddCueSheet())
        return false;
    FLAC__StreamMetadata* comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!comments)
        return false;
    encoder_->blocks.push_back(comments);
    for (const auto& [name, value] : tags_)
        if (!AppendComment(comments, name, value))
            return false;
    if (format.channels < 9 && format.channelMask != 0 &&
        format.channelMask != kFlacDefaultMasks[format.channels]) {
        char mask[16];
        std::snprintf(mask, sizeof mask, "0x%04X", static_cast<unsigned>(format.channelMask));
        if (!AppendComment(comments, "WAVEFORMATEXTENSIBLE_CHANNEL_MASK", mask))
            return false;
    }
    std::vector<FLAC__StreamMetadata*>& blocks = encoder_->blocks;
    const TFlacEncoderSettings settings{format.channels, format.validBits, format.sampleRate, level_};
    const bool set =
        ConfigureFlacEncoder(encoder, settings) &&
        FLAC__stream_encoder_set_metadata(encoder, blocks.data(), static_cast<uint32_t>(blocks.size()));
    encoder_->md5 = EVP_MD_CTX_new();
    if (!set || !encoder_->md5 || EVP_DigestInit_ex(encoder_->md5, EVP_md5(), nullptr) != 1)
        return false;
    filling_.resize(kBlockBytes / sizeof(int32_t) / format.channels * format.channels);
    filled_ = 0;
    // STREAMINFO goes out now, its length unknown and without MD5, until Finish rewrites it.
    if (FLAC__stream_encoder_init_stream(encoder, WriteBytes, SeekTo, Tell, nullptr, this) !=
        FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return false;
    const int threads = threads_ > 0 ? threads_ : static_cast<int>(std::thread::hardware_concurrency());
    if (threads > 1) {
        // The encoder above wrote the stream's head and takes no samples: the workers encode the frames.
        encoder_->parallel = std::make_unique<TParallelFlacEncoder>(
            settings, threads,
            [this](const uint8_t* bytes, size_t count) {
                TMMIOFile* to = File();
                const auto length = static_cast<int32_t>(count);
                return to && to->Write(bytes, length) == length;
            },
            // Through the encoder itself: while it is being destroyed, encoder_ is already empty.
            [this, &md5 = *encoder_](const int32_t* samples, size_t count) {
                AddToMd5(md5, nullptr, samples, count);
            });
        filling_.resize(encoder_->parallel->StretchSamples());
        return encoder_->parallel->Start();
    }
    // The thread takes no interrupts: they are for the run to act on, and none cuts its writes short.
    sigset_t all, saved;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    bool started = true;
    try {
        encoder_->thread = std::thread([encoder = encoder_.get()] { encoder->Run(); });
    } catch (const std::system_error&) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    return started;
}

bool TFlacSink::Write(const uint8_t* bytes, int32_t count) {
    if (failed_)
        return false;
    const size_t width = format_.containerBytes;
    size_t samples = static_cast<size_t>(count) / width;
    while (samples > 0) {
        const size_t n = std::min(samples, filling_.size() - filled_);
        int32_t* to = filling_.data() + filled_;
        // Little-endian, left-justified in the container: sign-extended, then the padding shifted out.
        if (width == 2)
            for (size_t i = 0; i < n; ++i, bytes += 2)
                to[i] = static_cast<int16_t>(bytes[0] | bytes[1] << 8) >> shift_;
        else
            for (size_t i = 0; i < n; ++i, bytes += 3)
                to[i] = static_cast<int32_t>(
                            static_cast<uint32_t>(bytes[0] << 8 | bytes[1] << 16 | bytes[2] << 24)) >>
                        (8 + shift_);
        // With workers, the one that writes the frames sums the samples in order as it writes them.
        if (!encoder_->parallel)
            AddToMd5(*encoder_, bytes - n * width, to, n);
        filled_ += n;
        samples -= n;
        if (filled_ == filling_.size() && !HandOver())
            return false;
    }
    return true;
}

// `samples` as FLAC's MD5 takes them: the container bytes themselves when the valid bits fill them and
// they are given.
void TFlacSink::AddToMd5(TEncoder& encoder, const uint8_t* bytes, const int32_t* samples, size_t count) {
    const size_t width = (format_.validBits + 7u) / 8;
    if (bytes && shift_ == 0 && width == format_.containerBytes) {
        EVP_DigestUpdate(encoder.md5, bytes, count * width);
        return;
    }
    std::vector<uint8_t>& out = encoder.md5Bytes;
    out.resize(count * width);
    uint8_t* to = out.data();
    for (size_t i = 0; i < count; ++i, to += width) {
        const auto value = static_cast<uint32_t>(samples[i]);
        to[0] = static_cast<uint8_t>(value);
        to[1] = static_cast<uint8_t>(value >> 8);
        if (width == 3)
            to[2] = static_cast<uint8_t>(value >> 16);
    }
    EVP_DigestUpdate(encoder.md5, out.data(), out.size());
}

// Queues the filled block for the encoder's thread, waiting while the queue is full. False, and the sink
// failed, when libFLAC has failed.
bool TFlacSink::HandOver() {
    TEncoder& encoder = *encoder_;
    if (encoder.parallel) {
        framesWritten_ += filled_ / format_.channels;
        failed_ = !encoder.parallel->Encode(filling_, filled_);
        filled_ = 0;
        return !failed_;
    }
    std::unique_lock lock(encoder.mutex);
    encoder.changed.wait(lock,
                         [&encoder] { return encoder.failed || encoder.queued.size() < kQueuedBlocks; });
    if (encoder.failed) {
        failed_ = true;
        return false;
    }
    framesWritten_ += filled_ / format_.channels;
    const size_t size = filling_.size();
    encoder.queued.push_back({std::move(filling_), filled_});
    filled_ = 0;
    if (!encoder.spare.empty()) {
        filling_ = std::move(encoder.spare.back());
        encoder.spare.pop_back();
    }
    lock.unlock();
    encoder.changed.notify_all();
    filling_.resize(size);
    return true;
}

bool TFlacSink::Finish(int64_t) {
    if (!encoder_ || !encoder_->encoder)
        return false;
    const bool handed = !failed_ && (filled_ == 0 || HandOver());
    if (encoder_->parallel) {
        // libFLAC's encoder wrote only the head: it is not finished, which would rewrite STREAMINFO.
        const bool finished =
            encoder_->parallel->Finish() && handed && FinishStreamInfo() && FinishCueSheet() && FinishMd5();
        encoder_.reset();
        return finished;
    }
    const bool encoded = encoder_->Join(true) && handed;
    // The last frame, then STREAMINFO rewritten with the totals, and the MD5 put in.
    const bool finished =
        FLAC__stream_encoder_finish(encoder_->encoder) && encoded && FinishCueSheet() && FinishMd5();
    encoder_.reset();
    return finished;
}

void TFlacSink::Abandon() {
    abandoned_ = true;
    failed_ = true;
    encoder_.reset();
}
