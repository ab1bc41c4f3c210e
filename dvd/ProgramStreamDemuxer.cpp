#include "dvd/ProgramStreamDemuxer.h"

#include "dvd/PackingDetector.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace {

// The largest PES packet (6 header bytes and a 16-bit length) fits twice, so that a refill moves little.
constexpr size_t kBufferBytes = 256 * 1024;
constexpr size_t kMpeg2PackBytes = 14;
constexpr size_t kMpeg1PackBytes = 12;

constexpr uint8_t kPackStart = 0xBA;
constexpr uint8_t kProgramEnd = 0xB9;
constexpr uint8_t kPrivateStream1 = 0xBD;
constexpr uint8_t kPrivateStream2 = 0xBF;

bool IsStartCodePrefix(const uint8_t* p) {
    return p[0] == 0 && p[1] == 0 && p[2] == 1;
}

// Codes that may follow a pack header: another pack, the program end, or a packet with a length field
// (system header BB, program stream map BC, private 1 BD, padding BE, private 2 BF, audio, video and the
// rest of the stream ids up to FF).
bool IsStreamLevelCode(uint8_t code) {
    return code == kProgramEnd || code >= kPackStart;
}

bool IsMpeg2Pack(const uint8_t* p) {
    return (p[4] & 0xC0) == 0x40;
}
bool IsMpeg1Pack(const uint8_t* p) {
    return (p[4] & 0xF0) == 0x20;
}

} // namespace

bool IsProgramStream(const uint8_t* bytes, size_t count) {
    if (count < kMpeg2PackBytes || !IsStartCodePrefix(bytes) || bytes[3] != kPackStart || !IsMpeg2Pack(bytes))
        return false;
    const size_t next = kMpeg2PackBytes + (bytes[13] & 7);
    return count >= next + 4 && IsStartCodePrefix(bytes + next) && IsStreamLevelCode(bytes[next + 3]);
}

TProgramStreamDemuxer::TProgramStreamDemuxer(TStreamSource& source)
    : source_(source), buffer_(new uint8_t[kBufferBytes]) {}

TProgramStreamDemuxer::~TProgramStreamDemuxer() = default;

// Makes at least count bytes available from pos_; false when the stream ends (or fails) before.
bool TProgramStreamDemuxer::Ensure(size_t count) {
    if (end_ - pos_ >= count)
        return true;
    if (sourceEnded_)
        return false;
    std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
    consumed_ += static_cast<int64_t>(pos_);
    end_ -= pos_;
    pos_ = 0;
    while (end_ < count) {
        const int64_t got = source_.Read(buffer_.get() + end_, static_cast<int64_t>(kBufferBytes - end_));
        if (got <= 0) {
            readFailed_ = got < 0;
            sourceEnded_ = true;
            return false;
        }
        end_ += static_cast<size_t>(got);
    }
    return true;
}

// Skips from the damaged byte at pos_ to the next pack header whose marker bits hold, or to the end,
// counting what it passes.
void TProgramStreamDemuxer::Resynchronise() {
    size_t from = pos_ + 1;
    for (;;) {
        const uint8_t* base = buffer_.get();
        // Looks for the pack start code's last byte, which is rare, rather than for its zeros: a long run of
        // zero bytes (a blank region of an image) then passes at the speed of memchr.
        for (size_t at = from + 3; at + 2 <= end_; ++at) {
            const auto* code = static_cast<const uint8_t*>(std::memchr(base + at, kPackStart, end_ - at));
            if (!code)
                break;
            at = static_cast<size_t>(code - base);
            if (at + 2 > end_)
                break;
            const uint8_t* start = code - 3;
            if (IsStartCodePrefix(start) && (IsMpeg2Pack(start) || IsMpeg1Pack(start))) {
                skipped_ += static_cast<int64_t>(at - 3 - pos_);
                pos_ = at - 3;
                return;
            }
        }
        // Keep the last four bytes, where a pack header may begin, and read on.
        const size_t keepFrom = std::max(from, end_ >= 4 ? end_ - 4 : size_t{0});
        skipped_ += static_cast<int64_t>(keepFrom - pos_);
        pos_ = keepFrom;
        if (!Ensure(end_ - pos_ + 1)) {
            skipped_ += static_cast<int64_t>(end_ - pos_);
            pos_ = end_;
            return;
        }
        from = pos_;
    }
}

// The stream ends inside a header or packet: what is left of it is skipped.
TProgramStreamDemuxer::Step TProgramStreamDemuxer::EndInside() {
    truncated_ = !readFailed_;
    skipped_ += static_cast<int64_t>(end_ - pos_);
    pos_ = end_;
    return Step::End;
}

TProgramStreamDemuxer::Step TProgramStreamDemuxer::ParsePackHeader() {
    const uint8_t* p = buffer_.get() + pos_;
    size_t length;
    if (IsMpeg2Pack(p)) {
        if (!Ensure(kMpeg2PackBytes))
            return EndInside();
        p = buffer_.get() + pos_;
        length = kMpeg2PackBytes + (p[13] & 7);
    } else if (IsMpeg1Pack(p)) {
        length = kMpeg1PackBytes;
    } else {
        return Step::Skip;
    }
    if (!Ensure(length))
        return EndInside();
    pos_ += length;
    return Step::Packet;
}

// One PES (or system) packet at pos_: its whole stated length is made available, then either handed out
// as audio or passed over.
TProgramStreamDemuxer::Step TProgramStreamDemuxer::ParsePacket(TAudioPacket& packet, bool& isAudio) {
    isAudio = false;
    const uint8_t code = buffer_[pos_ + 3];
    const size_t length = 6 + (size_t{buffer_[pos_ + 4]} << 8 | buffer_[pos_ + 5]);
    if (!Ensure(length))
        return EndInside();
    const uint8_t* p = buffer_.get() + pos_;
    const int64_t position = Position();
    pos_ += length;
    // A navigation pack's presentation control information: sub-stream 0, then the VOBU's start time
    // (vobu_s_ptm) 12 bytes into it.
    if (code == kPrivateStream2 && length >= 23 && p[6] == 0x00 && watchedStart_ < 0 &&
        position >= watchFrom_)
        watchedStart_ = int64_t{p[19]} << 24 | int64_t{p[20]} << 16 | int64_t{p[21]} << 8 | p[22];
    // Its data search information: sub-stream 1, the VOB number 24 bytes into it and the cell number 27.
    if (code == kPrivateStream2 && length >= 35 && p[6] == 0x01) {
        const uint32_t cell = uint32_t{p[31]} << 16 | uint32_t{p[32]} << 8 | p[34];
        if (cell_ != UINT32_MAX && cell != cell_)
            ++cellChanges_;
        cell_ = cell;
    }
    const bool privateAudio = code == kPrivateStream1;
    const bool mpegAudio = code >= 0xC0 && code <= 0xDF;
    if (!privateAudio && !mpegAudio)
        return Step::Packet;

    // MPEG-2 PES header: flags, PTS/DTS flags, header data length, then the optional fields.
    if (length < 9 || (p[6] & 0xC0) != 0x80 || 9 + size_t{p[8]} > length) {
        skipped_ += static_cast<int64_t>(length);
        return Step::Packet;
    }
    packet.hasPts = (p[7] & 0x80) != 0 && p[8] >= 5;
    if (packet.hasPts) {
        const uint8_t* t = p + 9;
        packet.pts = int64_t{t[0] >> 1 & 7} << 30 | int64_t{t[1]} << 22 | int64_t{t[2] >> 1} << 15 |
                     int64_t{t[3]} << 7 | int64_t{t[4] >> 1};
    }
    packet.format = {};
    packet.firstFrame = -1;
    packet.frameCount = 0;
    const uint8_t* payload = p + 9 + p[8];
    size_t payloadBytes = length - 9 - p[8];
    if (mpegAudio) {
        packet.id = code;
        packet.codec = TAudioCodec::MpegAudio;
    } else {
        if (payloadBytes == 0)
            return Step::Packet;
        packet.id = payload[0];
        packet.codec = PrivateStreamCodec(packet.id);
        // Sub-pictures (20-3F) and other private data are not audio.
        if (packet.id < 0x80)
            return Step::Packet;
        if (audioObjects_ && (packet.id == 0xA0 || packet.id == 0xA1)) {
            packet.codec = TAudioCodec::Other;
        } else if (packet.codec == TAudioCodec::Lpcm) {
            if (payloadBytes < kLpcmHeaderBytes || !ParseLpcmHeader(payload, packet.format)) {
                skipped_ += static_cast<int64_t>(length);
                return Step::Packet;
            }
            payload += kLpcmHeaderBytes;
            payloadBytes -= kLpcmHeaderBytes;
            // The pointer counts from its own last byte, so 4 points at the first audio byte (FFmpeg
            // writes 4 in every packet); 0 says no frame begins here.
            const int pointer = payload[-5] << 8 | payload[-4];
            if (pointer >= 4 && static_cast<size_t>(pointer - 4) < payloadBytes)
                packet.firstFrame = pointer - 4;
            packet.frameCount = payload[-6];
        } else {
            // AC-3 and DTS carry a 4-byte header (id, frame count, access unit pointer) before the frames.
            const size_t skip = std::min<size_t>(payloadBytes, packet.codec == TAudioCodec::Other ? 1 : 4);
            payload += skip;
            payloadBytes -= skip;
        }
    }
    packet.data = payload;
    packet.size = static_cast<int32_t>(payloadBytes);
    packet.position = position;
    isAudio = true;
    return Step::Packet;
}

bool TProgramStreamDemuxer::NextAudioPacket(TAudioPacket& packet) {
    for (;;) {
        if (Ensure(4) && IsStartCodePrefix(buffer_.get() + pos_) && buffer_[pos_ + 3] == kProgramEnd) {
            pos_ += 4;
            continue;
        }
        if (!Ensure(6)) {
            // Fewer bytes than any header needs: a cut pack or packet, stray bytes, or nothing at all.
            if (end_ - pos_ >= 4 && IsStartCodePrefix(buffer_.get() + pos_) &&
                buffer_[pos_ + 3] >= kPackStart)
                EndInside();
            skipped_ += static_cast<int64_t>(end_ - pos_);
            pos_ = end_;
            return false;
        }
        const uint8_t* p = buffer_.get() + pos_;
        Step step = Step::Skip;
        if (IsStartCodePrefix(p) && p[3] == kPackStart) {
            step = ParsePackHeader();
        } else if (IsStartCodePrefix(p) && p[3] > kPackStart) {
            bool isAudio = false;
            step = ParsePacket(packet, isAudio);
            if (isAudio)
                return true;
        }
        if (step == Step::End)
            return false;
        if (step == Step::Skip)
            Resynchronise();
    }
}

bool TProgramStreamDemuxer::NextPacketOf(uint8_t id, TAudioPacket& packet) {
    while (NextAudioPacket(packet))
        if (packet.id == id)
            return true;
    return false;
}

std::vector<TAudioTrack> ListAudioTracks(TStreamSource& source) {
    TProgramStreamDemuxer demuxer(source);
    std::vector<TAudioTrack> tracks;
    // The packing of each LPCM track whose packings differ, judged as a conversion judges it.
    std::map<uint8_t, TPackingDetector> judges;
    std::set<uint8_t> changed; // tracks past their first change of format
    TAudioPacket packet;
    while (demuxer.NextAudioPacket(packet)) {
        auto track = std::find_if(tracks.begin(), tracks.end(),
                                  [&](const TAudioTrack& known) { return known.id == packet.id; });
        if (track == tracks.end()) {
            tracks.push_back({packet.id, packet.codec, packet.format, 0});
            track = tracks.end() - 1;
        }
        const bool lpcm = track->codec == TAudioCodec::Lpcm;
        // A conversion ends at the track's first change of format: so do its length and its judgement.
        if (lpcm && !track->format.SameLayout(packet.format))
            changed.insert(packet.id);
        const bool converted = !lpcm || !changed.count(packet.id);
        track->formatChanges = track->formatChanges || !converted;
        if (!converted)
            continue;
        track->payloadBytes += packet.size;
        track->emphasis = track->emphasis || (lpcm && packet.format.emphasis);
        if (lpcm && PackingsDiffer(track->format)) {
            TPackingDetector& judge = judges.try_emplace(packet.id, track->format).first->second;
            if (!judge.Done())
                judge.Feed(packet.data, static_cast<size_t>(packet.size));
        }
    }
    for (TAudioTrack& track : tracks)
        if (const auto judge = judges.find(track.id); judge != judges.end())
            track.packing =
                judge->second.Verdict() == TPackingVerdict::Quads ? TLpcmPacking::Quads : TLpcmPacking::Pairs;
    std::sort(tracks.begin(), tracks.end(),
              [](const TAudioTrack& a, const TAudioTrack& b) { return a.id < b.id; });
    return tracks;
}

int LpcmTrackId(const std::vector<TAudioTrack>& tracks, int n) {
    for (const TAudioTrack& track : tracks)
        if (track.Convertible() && --n == 0)
            return track.id;
    return -1;
}
