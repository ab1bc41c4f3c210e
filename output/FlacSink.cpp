#include "output/FlacSink.h"

#include "mmio/MMIOFile.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cstdio>

namespace {

// Frames handed to the encoder at a time.
constexpr size_t kBlockFrames = 4608;

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
    return {"ENCODER", std::string("Oxlip ") + OXLIP_VERSION};
}

struct TFlacSink::TLibFlac {
    FLAC__StreamEncoder* encoder = nullptr;
    std::vector<FLAC__StreamMetadata*> blocks;
    ~TLibFlac() {
        if (encoder)
            FLAC__stream_encoder_delete(encoder);
        for (FLAC__StreamMetadata* block : blocks)
            FLAC__metadata_object_delete(block);
    }
};

TFlacSink::TFlacSink(int level, std::vector<TFlacTag> tags, std::vector<int64_t> chapterStarts)
    : level_(level), tags_(std::move(tags)), chapterStarts_(std::move(chapterStarts)) {}

namespace {

// The CUESHEET goes first after STREAMINFO: its body at 4 + 38 + 4 bytes. The lead-out's offset follows
// the sheet's 396 fixed bytes and a 36-byte track with one 12-byte index per chapter; track i's offset
// lies where the lead-out's would for i chapters.
constexpr int64_t kCueSheetBody = 46;
int64_t LeadOutOffsetPosition(size_t chapters) {
    return kCueSheetBody + 396 + 48 * static_cast<int64_t>(chapters);
}
constexpr uint32_t kLeadOutNonCd = 255;

} // namespace

bool TFlacSink::AddCueSheet() {
    FLAC__StreamMetadata* sheet = FLAC__metadata_object_new(FLAC__METADATA_TYPE_CUESHEET);
    if (!sheet)
        return false;
    flac_->blocks.push_back(sheet);
    sheet->data.cue_sheet.is_cd = false;
    for (size_t i = 0; i < chapterStarts_.size(); ++i) {
        const auto track = static_cast<uint32_t>(i);
        if (!FLAC__metadata_object_cuesheet_insert_blank_track(sheet, track) ||
            !FLAC__metadata_object_cuesheet_track_insert_blank_index(sheet, track, 0))
            return false;
        FLAC__StreamMetadata_CueSheet_Track& entry = sheet->data.cue_sheet.tracks[i];
        entry.offset = static_cast<FLAC__uint64>(chapterStarts_[i]);
        entry.number = static_cast<FLAC__byte>(i + 1);
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

TFlacSink::~TFlacSink() {
    // Not finished: the output goes, and nothing more reaches it.
    abandoned_ = true;
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
    flac_ = std::make_unique<TLibFlac>();
    flac_->encoder = FLAC__stream_encoder_new();
    if (!flac_->encoder)
        return false;
    // Track numbers are bytes, 255 the lead-out's: a title of more chapters gets no sheet.
    if (chapterStarts_.size() >= kLeadOutNonCd)
        chapterStarts_.clear();
    if (!chapterStarts_.empty() && !AddCueSheet())
        return false;
    FLAC__StreamMetadata* comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!comments)
        return false;
    flac_->blocks.push_back(comments);
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
    const bool set =
        FLAC__stream_encoder_set_channels(flac_->encoder, format.channels) &&
        FLAC__stream_encoder_set_bits_per_sample(flac_->encoder, format.validBits) &&
        FLAC__stream_encoder_set_sample_rate(flac_->encoder, format.sampleRate) &&
        FLAC__stream_encoder_set_compression_level(flac_->encoder, static_cast<uint32_t>(level_)) &&
        FLAC__stream_encoder_set_total_samples_estimate(flac_->encoder, 0) &&
        FLAC__stream_encoder_set_metadata(flac_->encoder, flac_->blocks.data(),
                                          static_cast<uint32_t>(flac_->blocks.size()));
    if (!set)
        return false;
    pending_.resize(kBlockFrames * format.channels);
    pendingCount_ = 0;
    // STREAMINFO goes out now, its length unknown and without MD5, until Finish rewrites it.
    return FLAC__stream_encoder_init_stream(flac_->encoder, WriteBytes, SeekTo, Tell, nullptr, this) ==
           FLAC__STREAM_ENCODER_INIT_STATUS_OK;
}

bool TFlacSink::Write(const uint8_t* bytes, int32_t count) {
    if (failed_)
        return false;
    const size_t width = format_.containerBytes;
    const size_t samples = static_cast<size_t>(count) / width;
    for (size_t i = 0; i < samples; ++i, bytes += width) {
        int32_t value;
        if (width == 2)
            value = static_cast<int16_t>(bytes[0] | bytes[1] << 8);
        else
            value = static_cast<int32_t>(
                        static_cast<uint32_t>(bytes[0] << 8 | bytes[1] << 16 | bytes[2] << 24)) >>
                    8;
        pending_[pendingCount_++] = value >> shift_;
        if (pendingCount_ == pending_.size() && !Flush())
            return false;
    }
    return true;
}

bool TFlacSink::Flush() {
    const auto frames = static_cast<uint32_t>(pendingCount_ / format_.channels);
    pendingCount_ = 0;
    framesWritten_ += frames;
    if (frames > 0 && !FLAC__stream_encoder_process_interleaved(flac_->encoder, pending_.data(), frames))
        failed_ = true;
    return !failed_;
}

bool TFlacSink::Finish(int64_t) {
    if (!flac_ || !flac_->encoder)
        return false;
    const bool flushed = !failed_ && Flush();
    // The last frame, then STREAMINFO rewritten with the totals and the MD5.
    const bool finished = FLAC__stream_encoder_finish(flac_->encoder) && flushed;
    flac_.reset();
    return finished && FinishCueSheet();
}

void TFlacSink::Abandon() {
    abandoned_ = true;
    flac_.reset();
}
