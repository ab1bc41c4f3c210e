#pragma once

// What the DVD-Audio tests share: the disc writer, reading a title's samples whole, and the output the
// authored samples must give, worked out here from the output rules alone.
#include "AudioDiscWriter.h"

#include "disc/AudioDisc.h"
#include "disc/AudioTitleStream.h"

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace dvda {

struct TReadTitle {
    TAudioSampleFormat format;
    Bytes samples;
    std::vector<int64_t> starts;
    std::string error; // from the open, or from the read
};

// Tracks first to last of the title, read to the end.
inline TReadTitle ReadTitle(const TAudioDisc& disc, const TAudioDiscTitle& title, int first, int last) {
    TReadTitle read;
    const std::unique_ptr<TAudioTitleStream> stream =
        TAudioTitleStream::Open(disc, title, first, last, read.error);
    if (!stream)
        return read;
    read.format = stream->Format();
    read.starts = stream->TrackStarts();
    std::span<const uint8_t> block;
    while (stream->Next(block))
        read.samples.insert(read.samples.end(), block.begin(), block.end());
    read.error = stream->Error();
    return read;
}

// Little-endian samples in containers of the larger group's size (2 bytes for 16 bits, else 3), each
// sample at the top of its container; output channel o takes stream channel outputTakes[o].
inline Bytes ExpectedPcm(const TPcmLayout& layout, const std::vector<int>& outputTakes,
                         const std::vector<int32_t>& samples) {
    const int maxBits = std::max(layout.bits[0], layout.group2 ? layout.bits[1] : 0);
    const int container = maxBits == 16 ? 2 : 3;
    const size_t channels = static_cast<size_t>(layout.Channels());
    Bytes out;
    for (size_t f = 0; f < samples.size() / channels; ++f)
        for (const int s : outputTakes) {
            const int bits = layout.bits[s < layout.group1 ? 0 : 1];
            const uint32_t value = static_cast<uint32_t>(samples[f * channels + static_cast<size_t>(s)])
                                   << (8 * container - bits);
            for (int b = 0; b < container; ++b)
                out.push_back(static_cast<uint8_t>(value >> (8 * b)));
        }
    return out;
}

// MLP made by FFmpeg's encoder, for titles of the tests' own AOB packs.
struct TMlpCase {
    const char* name;
    TPcmLayout layout; // what the title set's attribute record states
    const char* ffmpegLayout;
    const char* speakers; // of our output
    uint32_t mask;
};

// FFmpeg's MLP of tones: `frames` sample periods of `bits` bits (16, or 24 in 32-bit samples).
inline Bytes EncodeMlp(const TempDir& dir, const TMlpCase& c, int64_t frames) {
    const int channels = c.layout.Channels();
    const int bits = c.layout.bits[0];
    const std::vector<int32_t> tones = Tones(c.layout, frames, 330);
    Bytes raw;
    for (const int32_t v : tones) {
        const uint32_t value = static_cast<uint32_t>(v) << (bits == 16 ? 0 : 8);
        for (int b = 0; b < (bits == 16 ? 2 : 4); ++b)
            raw.push_back(static_cast<uint8_t>(value >> (8 * b)));
    }
    WriteFile(dir.Path("in.raw"), raw);
    const std::string command = std::string("ffmpeg -nostdin -v error -y -f ") +
                                (bits == 16 ? "s16le" : "s32le") + " -ar " +
                                std::to_string(c.layout.rate[0]) + " -ac " + std::to_string(channels) +
                                " -channel_layout " + c.ffmpegLayout + " -i '" + dir.Path("in.raw") +
                                "' -c:a mlp -strict -2 -f mlp '" + dir.Path("out.mlp") + "' 2>&1";
    const std::string output = ShellOutput(command);
    return output.empty() && Exists(dir.Path("out.mlp")) ? ReadFile(dir.Path("out.mlp")) : Bytes();
}

// The access units of an MLP stream: each begins with its length in 16-bit words (low 12 bits).
inline std::vector<size_t> AccessUnitStarts(const Bytes& mlp) {
    std::vector<size_t> starts;
    for (size_t at = 0; at + 2 <= mlp.size();) {
        starts.push_back(at);
        const size_t length = static_cast<size_t>((mlp[at] << 8 | mlp[at + 1]) & 0xFFF) * 2;
        if (length < 4)
            break;
        at += length;
    }
    return starts;
}

inline TAuthoredDisc MlpDisc(const TMlpCase& c, const Bytes& mlp, size_t firstTrackUnits, int framesPerUnit) {
    TAuthoredTitle title;
    title.mlp = true;
    title.layout = c.layout;
    const std::vector<size_t> units = AccessUnitStarts(mlp);
    if (firstTrackUnits == 0 || firstTrackUnits >= units.size()) {
        title.mlpTracks = {mlp};
        title.mlpFrames = {static_cast<int64_t>(units.size()) * framesPerUnit};
    } else {
        const auto cut = mlp.begin() + static_cast<std::ptrdiff_t>(units[firstTrackUnits]);
        title.mlpTracks = {Bytes(mlp.begin(), cut), Bytes(cut, mlp.end())};
        title.mlpFrames = {static_cast<int64_t>(firstTrackUnits) * framesPerUnit,
                           static_cast<int64_t>(units.size() - firstTrackUnits) * framesPerUnit};
    }
    TAuthoredDisc authored;
    authored.titles = {title};
    return authored;
}

inline const std::vector<TMlpCase>& MlpCases() {
    static const std::vector<TMlpCase> cases = {
        {"stereo 24 bit 96 kHz", {{24, 0}, {96000, 0}, 1, 2, 0}, "stereo", "L R", 0x3},
        {"stereo 16 bit 44.1 kHz", {{16, 0}, {44100, 0}, 1, 2, 0}, "stereo", "L R", 0x3},
        {"5.1 24 bit 48 kHz", {{24, 24}, {48000, 48000}, 17, 3, 3}, "5.1", "L R C LFE Ls Rs", 0x3F},
    };
    return cases;
}

inline bool HaveFfmpeg() {
    return !ShellOutput("command -v ffmpeg").empty();
}

} // namespace dvda

namespace dvda {

// Little-endian samples in containers of `containerBytes`, as 32-bit values with the sample at the top.
inline std::vector<int32_t> TopAligned(const Bytes& samples, int containerBytes) {
    std::vector<int32_t> values;
    for (size_t at = 0; at + static_cast<size_t>(containerBytes) <= samples.size();
         at += static_cast<size_t>(containerBytes)) {
        uint32_t v = 0;
        for (int b = 0; b < containerBytes; ++b)
            v |= uint32_t{samples[at + static_cast<size_t>(b)]} << (8 * (4 - containerBytes + b));
        values.push_back(static_cast<int32_t>(v));
    }
    return values;
}

// VLC's decode of a program stream, as 32-bit values with the samples at the top (through FFmpeg from
// VLC's WAVE output); empty when VLC is missing or fails. VLC refuses to run as root: there it runs as
// nobody, reading the stream from its standard input and writing to its standard output.
inline std::vector<int32_t> DecodeWithVlc(const std::string& stream, const std::string& work) {
    if (ShellOutput("command -v cvlc").empty())
        return {};
    const std::string user = ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    const std::string wav = work + "/vlc.wav";
    const std::string command = "cat '" + stream + "' | " + user +
                                "env HOME=/tmp cvlc -q --no-video --demux=ps - --sout "
                                "'#transcode{acodec=s24l}:std{access=file,mux=wav,dst=-}' vlc://quit > '" +
                                wav + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return {};
    return DecodeWithFfmpeg("-i '" + wav + "'");
}

} // namespace dvda
