#pragma once

#include "dvd/AudioTrack.h"
#include "dvd/StreamSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Bytes IsProgramStream wants to see: a pack header with the longest stuffing and the next start code.
inline constexpr size_t kProgramStreamProbeBytes = 32;

// True when the bytes start with an MPEG-2 pack header (00 00 01 BA, marker bits 01) and the next start
// code after it, past its stuffing, is another valid one. Anything else is not a program stream.
bool IsProgramStream(const uint8_t* bytes, size_t count);

// One audio packet's payload. The data points into the demultiplexer's buffer and stays valid until its
// next call.
struct TAudioPacket {
    uint8_t id = 0; // sub-stream id in private stream 1, or the MPEG audio stream id
    TAudioCodec codec = TAudioCodec::Other;
    TLpcmFormat format; // LPCM only
    const uint8_t* data = nullptr;
    int32_t size = 0;
    bool hasPts = false;
    int64_t pts = 0;      // 90 kHz ticks
    int64_t position = 0; // where the packet begins in the stream
    // LPCM only: where in `data` the first audio frame that begins in the packet starts (the frame the
    // time stamp belongs to), from the header's first access unit pointer; -1 when none begins or the
    // pointer lies outside the packet. Frames begin on sample-group boundaries.
    int32_t firstFrame = -1;
    int frameCount = 0; // audio frames that begin in the packet, as the header says
};

// Walks the packs and PES packets of a program stream pulled from a source, in one forward pass with a
// fixed buffer, and hands out the audio packets. Damaged bytes between packets are skipped up to the next
// pack header and counted; a packet is never read past its stated length; a packet that claims more bytes
// than the stream holds ends the stream. Any input is safe.
class TProgramStreamDemuxer {
public:
    explicit TProgramStreamDemuxer(TStreamSource& source);
    ~TProgramStreamDemuxer();
    TProgramStreamDemuxer(const TProgramStreamDemuxer&) = delete;
    TProgramStreamDemuxer& operator=(const TProgramStreamDemuxer&) = delete;

    // The next audio packet of any track; false at the end of the stream (or of what was readable).
    bool NextAudioPacket(TAudioPacket& packet);
    // The next packet of one track (a sub-stream id such as 0xA0); false at the end.
    bool NextPacketOf(uint8_t id, TAudioPacket& packet);

    // Bytes skipped as damaged: stray bytes before a pack header, packets whose headers do not hold
    // together, and the unread rest of a packet cut off by the end of the stream.
    int64_t SkippedBytes() const { return skipped_; }
    // The stream ended inside a packet that claimed more bytes than were left.
    bool Truncated() const { return truncated_; }
    // The source reported a read error; the stream ended there.
    bool ReadFailed() const { return readFailed_; }
    const TStreamSource& Source() const { return source_; }
    // Bytes of the source consumed so far, for progress.
    int64_t Position() const { return consumed_ + static_cast<int64_t>(pos_); }

    // Watches for the first navigation pack (a VOBU's start, as DVD-Video streams have one every half
    // second or so) that begins at or after `position`; WatchedVideoStart() is then the presentation time
    // of its first video frame (90 kHz ticks), -1 until one is seen.
    void WatchVideoStart(int64_t position) {
        watchFrom_ = position;
        watchedStart_ = -1;
    }
    int64_t WatchedVideoStart() const { return watchedStart_; }
    // How often the cell or VOB named by the navigation packs changed so far: a time stamp that jumps where
    // this changed is a cell's own clock, not lost audio.
    int CellChanges() const { return cellChanges_; }

    // DVD-Audio: private stream 1 packets of sub-streams A0 (PCM) and A1 (MLP) are handed out whole, the
    // data from the sub-stream id on, since their header differs from DVD-Video's and its length varies:
    // the caller reads it. Off by default.
    void SetAudioObjectPackets(bool on) { audioObjects_ = on; }

private:
    enum class Step { Packet, Skip, End };

    bool Ensure(size_t count);
    Step ParsePackHeader();
    Step ParsePacket(TAudioPacket& packet, bool& isAudio);
    void Resynchronise();
    Step EndInside();

    TStreamSource& source_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t pos_ = 0;
    size_t end_ = 0;
    int64_t consumed_ = 0; // source bytes before buffer_[0]
    bool sourceEnded_ = false;
    int64_t skipped_ = 0;
    bool truncated_ = false;
    bool readFailed_ = false;
    int64_t watchFrom_ = INT64_MAX;
    int64_t watchedStart_ = -1;
    bool audioObjects_ = false;
    int cellChanges_ = 0;
    uint32_t cell_ = UINT32_MAX; // VOB and cell number of the last navigation pack
};

// Every audio track of the stream, read from the start to the end, in order of id (AC-3, DTS, LPCM, then
// MPEG audio). Damage is skipped as when converting.
std::vector<TAudioTrack> ListAudioTracks(TStreamSource& source);

// The id of the n-th LPCM track (1-based) in the listing, or -1 when there are fewer.
int LpcmTrackId(const std::vector<TAudioTrack>& tracks, int n);
