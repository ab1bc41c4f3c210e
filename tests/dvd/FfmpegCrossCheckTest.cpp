// FFmpeg's pcm_dvd decoder as an independent reader of the same program streams: every sample the
// demultiplexer and the layouts produce must be the one FFmpeg decodes.
#include "LpcmEncoder.h"
#include "MemorySource.h"
#include "ProgramStreamWriter.h"
#include "dvd/LpcmLayout.h"
#include "dvd/LpcmTrackReader.h"
#include "dvd/PackingDetector.h"
#include "dvd/ProgramStreamDemuxer.h"
#include "output/WaveWriter.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// FFmpeg's decode of the first audio track, as 32-bit little-endian samples.
std::vector<int32_t> FfmpegDecode(const std::string& path) {
    return DecodeWithFfmpeg("-f mpeg -i '" + path + "' -map 0:a:0");
}

// Output samples in 2- or 3-byte containers as 32-bit samples, appended.
void AppendSamples(std::span<const uint8_t> out, size_t width, std::vector<int32_t>& samples) {
    for (size_t i = 0; i + width <= out.size(); i += width) {
        uint32_t value = 0;
        for (size_t b = 0; b < width; ++b)
            value |= uint32_t{out[i + b]} << (8 * (b + 4 - width));
        samples.push_back(static_cast<int32_t>(value));
    }
}

// The first track as a conversion reads it, with the packing chosen or detected, as 32-bit samples.
std::vector<int32_t> ReaderDecode(const Bytes& stream, TLpcmPackingChoice choice, bool& quadsDetected) {
    MemorySource source(stream, 1000);
    TLpcmTrackReader reader(source, 0xA0, false, false, choice);
    std::vector<int32_t> samples;
    std::span<const uint8_t> block;
    if (reader.Start())
        while (reader.Next(block))
            AppendSamples(block, static_cast<size_t>(reader.Decoder().OutputContainerBytes()), samples);
    quadsDetected = reader.QuadsDetected();
    return samples;
}

// Our decode of a track at the source's resolution, as 32-bit samples.
std::vector<int32_t> OurDecode(const Bytes& stream, uint8_t id) {
    MemorySource source(stream);
    TProgramStreamDemuxer demuxer(source);
    TAudioPacket packet;
    std::unique_ptr<TLpcmDecoder> decoder;
    std::vector<int32_t> samples;
    while (demuxer.NextPacketOf(id, packet)) {
        if (!decoder)
            decoder = std::make_unique<TLpcmDecoder>(packet.format, false, false);
        const auto out = decoder->Decode(packet.data, static_cast<size_t>(packet.size));
        const size_t width = static_cast<size_t>(decoder->OutputContainerBytes());
        for (size_t i = 0; i < out.size(); i += width) {
            uint32_t value = 0;
            for (size_t b = 0; b < width; ++b)
                value |= uint32_t{out[i + b]} << (8 * (b + 4 - width));
            samples.push_back(static_cast<int32_t>(value));
        }
    }
    return samples;
}

// A stream with the track's audio in 2000-byte packets, a video and a padding packet after each.
Bytes MakeStream(int bits, int rate, int channels, const Bytes& audio) {
    ProgramStreamWriter writer;
    for (size_t at = 0; at < audio.size(); at += 2000) {
        const Bytes piece(audio.begin() + static_cast<long>(at),
                          audio.begin() + static_cast<long>(std::min(at + 2000, audio.size())));
        writer.Pack().Lpcm(0xA0, bits, rate, channels, piece, false, 90000 + static_cast<int64_t>(at));
        writer.Pack().Video(300).Padding(20);
    }
    return writer.End().Result();
}

} // namespace

TEST(FfmpegCrossCheck, StereoMonoAndEverySixteenBitLayout) {
    struct Case {
        int bits, channels, rate;
    } cases[] = {{16, 2, 48000}, {20, 2, 96000}, {24, 2, 48000}, {16, 1, 44100},
                 {20, 1, 48000}, {24, 1, 96000}, {16, 3, 48000}, {16, 4, 48000},
                 {16, 5, 32000}, {16, 6, 48000}, {16, 7, 48000}, {16, 8, 48000}};
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bit, " << c.channels << " channels");
        // Whole groups of FFmpeg's blocks, so that neither side drops a tail the other keeps.
        const std::vector<int32_t> samples =
            RandomSamples(static_cast<size_t>(c.channels) * 2 * 4800, c.bits, 11);
        const Bytes stream = MakeStream(c.bits, c.rate, c.channels, EncodeLpcm(samples, c.bits, c.channels));
        WriteFile(dir.Path("x.vob"), stream);
        const std::vector<int32_t> ours = OurDecode(stream, 0xA0);
        ASSERT_EQ(ours.size(), samples.size());
        EXPECT_EQ(ours, FfmpegDecode(dir.Path("x.vob")));
        if (c.channels > 2) {
            // The channel mask FFmpeg writes for the stream, in its extensible format chunk.
            const std::string convert = "ffmpeg -nostdin -y -v error -i '" + dir.Path("x.vob") +
                                        "' -map 0:a:0 '" + dir.Path("x.wav") + "'";
            ASSERT_EQ(std::system(convert.c_str()), 0);
            EXPECT_EQ(U32At(ReadFile(dir.Path("x.wav")), 40), DvdChannelMask(c.channels));
        }
    }
}

TEST(FfmpegCrossCheck, AProgramStreamFfmpegMadeWithVideo) {
    TempDir dir;
    const std::string vob = dir.Path("made.vob");
    const std::string command =
        "ffmpeg -nostdin -v error -f lavfi -i sine=frequency=997:duration=2 -f lavfi -i "
        "testsrc=duration=2:size=160x120:rate=25 -ac 2 -ar 48000 -c:a pcm_dvd -sample_fmt s32 "
        "-c:v mpeg2video -f dvd '" +
        vob + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const Bytes stream = ReadFile(vob);
    ASSERT_TRUE(IsProgramStream(stream.data(), stream.size()));
    MemorySource source(stream);
    const std::vector<TAudioTrack> tracks = ListAudioTracks(source);
    ASSERT_EQ(LpcmTrackId(tracks, 1), 0xA0);
    const std::vector<int32_t> ours = OurDecode(stream, 0xA0);
    EXPECT_GT(ours.size(), 2u * 48000 * 19 / 10);
    EXPECT_EQ(ours, FfmpegDecode(vob));
}

// FFmpeg writes 24-bit 5.1 and 7.1 in quads, and mono as it reads it: the detection finds what FFmpeg
// decodes. A forced packing is read so; pairs as the decoder always has.
TEST(FfmpegCrossCheck, MultichannelStreamsFfmpegMadeAreDetected) {
    TempDir dir;
    for (int channels : {1, 6, 8}) {
        SCOPED_TRACE(testing::Message() << channels << " channels");
        const std::string vob = dir.Path("made.vob");
        const std::string command =
            "ffmpeg -nostdin -y -v error -f lavfi -i sine=frequency=440:duration=1 -ac " +
            std::to_string(channels) + " -ar 48000 -c:a pcm_dvd -sample_fmt s32 -f dvd '" + vob + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const Bytes stream = ReadFile(vob);
        const std::vector<int32_t> ffmpeg = FfmpegDecode(vob);
        ASSERT_GT(ffmpeg.size(), static_cast<size_t>(channels) * 40000);
        bool detected = false;
        EXPECT_EQ(ReaderDecode(stream, TLpcmPackingChoice::Auto, detected), ffmpeg);
        EXPECT_EQ(detected, channels != 1);
        MemorySource listed(stream);
        EXPECT_EQ(ListAudioTracks(listed).at(0).packing,
                  detected ? TLpcmPacking::Quads : TLpcmPacking::Pairs);
        const std::vector<int32_t> pairs = ReaderDecode(stream, TLpcmPackingChoice::Pairs, detected);
        EXPECT_FALSE(detected);
        EXPECT_EQ(pairs, OurDecode(stream, 0xA0));
        EXPECT_EQ(ReaderDecode(stream, TLpcmPackingChoice::Quads, detected) == ffmpeg, channels != 1);
        EXPECT_FALSE(detected);
    }
}

// 5.1 24-bit streams FFmpeg made that begin without a signal in every channel: detected where the audio is,
// and read as FFmpeg reads them.
TEST(FfmpegCrossCheck, StreamsFfmpegMadeThatBeginQuietlyAreDetected) {
    TempDir dir;
    const std::string sine = "0.5*sin(2*PI*440*t)";
    const std::pair<const char*, std::string> sources[] = {
        {"1.5 s of silence", "aevalsrc=if(lt(t\\,1.5)\\,0\\," + sine + "):c=5.1:s=48000:d=2.5"},
        {"a fade-in",
         "sine=frequency=440:duration=3,afade=t=in:d=2,pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0"},
        {"the LFE silent",
         "aevalsrc=" + sine + "|" + sine + "|" + sine + "|0|" + sine + "|" + sine + ":c=5.1:s=48000:d=1"},
    };
    for (const auto& [what, source] : sources) {
        SCOPED_TRACE(what);
        const std::string vob = dir.Path("made.vob");
        const std::string command = "ffmpeg -nostdin -y -v error -f lavfi -i \"" + source +
                                    "\" -ar 48000 -c:a pcm_dvd -sample_fmt s32 -f dvd '" + vob + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const std::vector<int32_t> ffmpeg = FfmpegDecode(vob);
        ASSERT_GT(ffmpeg.size(), 6u * 40000);
        bool detected = false;
        EXPECT_EQ(ReaderDecode(ReadFile(vob), TLpcmPackingChoice::Auto, detected), ffmpeg);
        EXPECT_TRUE(detected);
    }
}

// Random 5.1 audio stays pairs through the reader, also when the packets judged end at a change of format,
// which still ends the track there, with the pre-emphasis of a packet judged counted.
TEST(FfmpegCrossCheck, TheJudgedStartIsReadOnceAndEndsAtAChangeOfFormat) {
    const std::vector<int32_t> samples = RandomSamples(6 * 1000, 24, 5);
    const Bytes audio = EncodeLpcm(samples, 24, 6);
    ProgramStreamWriter writer;
    writer.Pack().Lpcm(0xA0, 24, 48000, 6, Bytes(audio.begin(), audio.begin() + 2000), false);
    writer.Pack().Lpcm(0xA0, 24, 48000, 6, Bytes(audio.begin() + 2000, audio.end()), true);
    writer.Pack().Lpcm(0xA0, 16, 48000, 6, Bytes(1200, 1));
    const Bytes stream = writer.End().Result();
    MemorySource source(stream, 700);
    TLpcmTrackReader reader(source, 0xA0, false, false);
    ASSERT_TRUE(reader.Start());
    EXPECT_TRUE(reader.Emphasis());
    Bytes out;
    std::span<const uint8_t> block;
    while (reader.Next(block))
        out.insert(out.end(), block.begin(), block.end());
    EXPECT_EQ(reader.Packing(), TLpcmPacking::Pairs);
    EXPECT_EQ(out, ExpectedOutput(samples, 24, false));
    EXPECT_TRUE(reader.FormatChanged());
    EXPECT_DOUBLE_EQ(reader.ChangeSeconds(), 1000.0 / 48000);
}

// FFmpeg's VOBs point at every packet's first byte and stamp a frame somewhere in it; a 24-bit packet ends
// inside a group. With an audio pack lost or blanked, the audio after it is still FFmpeg's clean decode, in
// place within a packet or two, never noise.
TEST(FfmpegCrossCheck, AVobFfmpegMadeWithAPackLostStaysInTune) {
    TempDir dir;
    for (const int channels : {1, 2, 6}) {
        const std::string vob = dir.Path("made.vob");
        const std::string command =
            "ffmpeg -nostdin -y -v error -f lavfi -i sine=frequency=440:duration=3 -ac " +
            std::to_string(channels) + " -ar 48000 -c:a pcm_dvd -sample_fmt s32 -f dvd '" + vob + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const Bytes stream = ReadFile(vob);
        const std::vector<int32_t> clean = FfmpegDecode(vob);
        // FFmpeg's packs are 2048 bytes; the LPCM ones among them, by their sub-stream id.
        std::vector<size_t> audioPacks;
        for (size_t at = 0; at + 2048 <= stream.size(); at += 2048)
            for (size_t i = at + 14; i + 32 < at + 2048; ++i)
                if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1 && stream[i + 3] == 0xBD) {
                    if (stream[i + 9 + stream[i + 8]] == 0xA0)
                        audioPacks.push_back(at);
                    break;
                }
        ASSERT_GT(audioPacks.size(), 200u);
        for (const size_t nth : {size_t{60}, size_t{101}, size_t{150}}) {
            for (const bool blank : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << channels << " channels, pack " << nth << (blank ? " blanked" : " lost"));
                Bytes damaged = stream;
                const auto pack = damaged.begin() + static_cast<std::ptrdiff_t>(audioPacks[nth]);
                if (blank)
                    std::fill(pack, pack + 2048, 0);
                else
                    damaged.erase(pack, pack + 2048);
                bool detected = false;
                const std::vector<int32_t> read = ReaderDecode(damaged, TLpcmPackingChoice::Auto, detected);
                const auto frames = [&](const std::vector<int32_t>& s) {
                    return static_cast<long>(s.size()) / channels;
                };
                EXPECT_LE(std::labs(frames(read) - frames(clean)), 2 * 2010 / (3 * channels));
                const size_t tail = static_cast<size_t>(channels) * 24000;
                ASSERT_GT(read.size(), tail);
                EXPECT_TRUE(std::equal(read.end() - static_cast<std::ptrdiff_t>(tail), read.end(),
                                       clean.end() - static_cast<std::ptrdiff_t>(tail)));
            }
        }
    }
}
