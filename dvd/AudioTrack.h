#pragma once

#include "dvd/LpcmFormat.h"

#include <cstdint>
#include <string>
#include <vector>

// What an audio stream carries, as far as a program stream or a disc's IFO tells it (a program stream does
// not tell MPEG-1 from MPEG-2 audio; a disc does). Only LPCM is converted; the others are named.
enum class TAudioCodec { Lpcm, Ac3, Dts, Sdds, MpegAudio, Mpeg1Audio, Mpeg2Audio, Other };

// "LPCM", "AC-3", "DTS", "SDDS", "MPEG audio", "MPEG-1 audio", "MPEG-2 audio" or "unknown".
const char* AudioCodecName(TAudioCodec codec);
// The names of the codecs, each once, in the order they first come ("AC-3, DTS"), for the messages that
// say what a stream or title has instead of LPCM.
std::string JoinedCodecNames(const std::vector<TAudioCodec>& codecs);

// The codec of a private stream 1 sub-stream id (A0-A7 LPCM, 80-87 AC-3, 88-8F DTS, 90-97 SDDS).
TAudioCodec PrivateStreamCodec(uint8_t subStreamId);

// A playing time as "h:mm:ss.s" (tenths truncated), for listings and messages.
std::string FormatPlayTime(double seconds);

// One audio track of a program stream, as the track listing finds it.
struct TAudioTrack {
    // The sub-stream id in private stream 1, or the stream id of MPEG audio (C0-DF).
    uint8_t id = 0;
    TAudioCodec codec = TAudioCodec::Other;
    // LPCM only: the format of the track's first packet.
    TLpcmFormat format;
    // Audio bytes the track carries over the whole stream; for LPCM, up to its first change of format, where
    // a conversion of it ends.
    int64_t payloadBytes = 0;
    // LPCM only: the bits, rate or channels change within the track.
    bool formatChanges = false;
    // LPCM only: the packing detected from the track's start (pairs where the packings do not differ).
    TLpcmPacking packing = TLpcmPacking::Pairs;
    // LPCM only: some packet carried the pre-emphasis flag.
    bool emphasis = false;

    bool Convertible() const { return codec == TAudioCodec::Lpcm; }
    // LPCM only: the playing time its bytes make at its first packet's format.
    double Seconds() const;
    // One line for a listing, e.g. "LPCM 24 bit, 48000 Hz, 2 channels, 0:03:25.4, pre-emphasis" or "AC-3
    // (not convertible)".
    std::string Describe() const;
};
