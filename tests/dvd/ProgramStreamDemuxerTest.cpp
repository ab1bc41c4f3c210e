#include "dvd/ProgramStreamDemuxer.h"
#include "LpcmEncoder.h"
#include "MemorySource.h"
#include "ProgramStreamWriter.h"
#include "dvd/FileStreamSource.h"
#include "dvd/LpcmTrackReader.h"

#include <gtest/gtest.h>

namespace {

// One track's audio cut into packets of `packetBytes` (not a multiple of a group, so groups cross
// packets), each in its own pack and followed by a video and a padding packet; a second LPCM track and
// an AC-3 track are interleaved when given.
struct Track {
    uint8_t id;
    int bits, rate, channels;
    Bytes audio;
};

Bytes Interleave(const std::vector<Track>& tracks, size_t packetBytes) {
    ProgramStreamWriter writer;
    writer.Pack().RawPacket(0xBB, Bytes(12, 0x80));
    for (size_t at = 0;; at += packetBytes) {
        bool any = false;
        for (const Track& track : tracks) {
            if (at >= track.audio.size())
                continue;
            any = true;
            const size_t n = std::min(packetBytes, track.audio.size() - at);
            const Bytes piece(track.audio.begin() + static_cast<long>(at),
                              track.audio.begin() + static_cast<long>(at + n));
            writer.Pack(at % 3 == 0 ? 2 : 0)
                .Lpcm(track.id, track.bits, track.rate, track.channels, piece, false,
                      static_cast<int64_t>(at) * 90);
            writer.Pack().Video(500).Padding(33).PrivateAudio(0x80, 40);
        }
        if (!any)
            break;
    }
    return writer.End().Result();
}

Bytes TrackBytes(const Bytes& stream, uint8_t id, int64_t piece) {
    MemorySource source(stream, piece);
    TProgramStreamDemuxer demuxer(source);
    Bytes out;
    TAudioPacket packet;
    while (demuxer.NextPacketOf(id, packet))
        out.insert(out.end(), packet.data, packet.data + packet.size);
    EXPECT_EQ(demuxer.Position(), static_cast<int64_t>(stream.size()));
    EXPECT_EQ(demuxer.SkippedBytes(), 0) << "a clean stream, its end code included, has nothing to skip";
    return out;
}

} // namespace

TEST(ProgramStreamRecognition, PackHeaderThenAnotherStartCode) {
    const Bytes stream = ProgramStreamWriter().Pack(3).Video(10).Result();
    EXPECT_TRUE(IsProgramStream(stream.data(), stream.size()));
    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
    } broken[] = {
        {"MPEG-1 marker bits", 4, 0x21},
        {"no start code after the stuffing", 17, 0x02},
        {"slice code after the pack", 20, 0x01},
        {"not a pack start", 3, 0xB3},
    };
    for (const Case& c : broken) {
        Bytes bytes = stream;
        bytes[c.at] = c.value;
        EXPECT_FALSE(IsProgramStream(bytes.data(), bytes.size())) << c.what;
    }
    EXPECT_FALSE(IsProgramStream(stream.data(), 20)) << "too short to see the next start code";
    const Bytes riff = MakeWave(Bytes(40, 1));
    EXPECT_FALSE(IsProgramStream(riff.data(), riff.size()));
}

TEST(ProgramStreamDemuxer, JoinsOneTracksPacketsAcrossVideoPaddingAndOtherTracks) {
    const Bytes first = EncodeLpcm(RandomSamples(6 * 2 * 300, 24, 1), 24, 6);
    const Bytes second = EncodeLpcm(RandomSamples(2 * 2 * 500, 20, 2), 20, 2);
    const Bytes stream = Interleave({{0xA1, 20, 96000, 2, second}, {0xA0, 24, 48000, 6, first}}, 2011);
    for (int64_t piece : {int64_t{1} << 20, int64_t{1000}, int64_t{7}}) {
        EXPECT_EQ(TrackBytes(stream, 0xA0, piece), first);
        EXPECT_EQ(TrackBytes(stream, 0xA1, piece), second);
    }

    MemorySource source(stream);
    TProgramStreamDemuxer demuxer(source);
    TAudioPacket packet;
    ASSERT_TRUE(demuxer.NextPacketOf(0xA1, packet) && demuxer.NextPacketOf(0xA1, packet));
    EXPECT_TRUE(packet.hasPts);
    EXPECT_EQ(packet.pts, 2011 * 90);

    // The listing: in id order, LPCM with its format and duration, AC-3 named.
    MemorySource listed(stream);
    const std::vector<TAudioTrack> tracks = ListAudioTracks(listed);
    ASSERT_EQ(tracks.size(), 3u);
    EXPECT_EQ(tracks[0].Describe(), "AC-3 (not convertible)");
    EXPECT_EQ(tracks[1].Describe(), "LPCM 24 bit, 48000 Hz, 6 channels, 0:00:00.0");
    EXPECT_EQ(tracks[1].payloadBytes, static_cast<int64_t>(first.size()));
    EXPECT_DOUBLE_EQ(tracks[2].Seconds(), 1000.0 / 96000);
    EXPECT_EQ(LpcmTrackId(tracks, 2), 0xA1);
    EXPECT_EQ(LpcmTrackId(tracks, 3), -1);
}

TEST(ProgramStreamDemuxer, SkipsDamageToTheNextPackAndEndsAtACutPacket) {
    const Bytes audio = EncodeLpcm(RandomSamples(2 * 2 * 400, 24, 3), 24, 2);
    const Bytes half1(audio.begin(), audio.begin() + 1000), half2(audio.begin() + 1000, audio.end());
    const Bytes garbage{0x00, 0x00, 0x01, 0x00, 0x47, 0x00, 0x00, 0x01, 0xBA, 0x00, 0x00, 0x00, 0x01};
    ProgramStreamWriter writer;
    writer.Pack().Lpcm(0xA0, 24, 48000, 2, half1).Raw(garbage);
    // A packet whose header does not hold together is skipped whole.
    writer.Pack().RawPacket(0xBD, Bytes{0x40, 0x00, 0x00, 0xA0});
    writer.Pack().Lpcm(0xA0, 24, 48000, 2, half2);
    const size_t intact = writer.Result().size();
    writer.Pack().Lpcm(0xA0, 24, 48000, 2, Bytes(600, 0x11));
    Bytes stream = writer.Result();
    stream.erase(stream.end() - 100, stream.end()); // the last packet claims 100 bytes more than there are

    MemorySource source(stream, 64);
    TProgramStreamDemuxer demuxer(source);
    Bytes out;
    TAudioPacket packet;
    while (demuxer.NextPacketOf(0xA0, packet))
        out.insert(out.end(), packet.data, packet.data + packet.size);
    EXPECT_EQ(out, audio);
    EXPECT_TRUE(demuxer.Truncated());
    EXPECT_EQ(demuxer.SkippedBytes(),
              static_cast<int64_t>(garbage.size() + 10 + stream.size() - intact - 14));
}

TEST(LpcmTrackReader, StopsWhereTheFormatChangesAndNotesEmphasis) {
    const std::vector<int32_t> samples = RandomSamples(2 * 2 * 100, 20, 4);
    const Bytes audio = EncodeLpcm(samples, 20, 2);
    ProgramStreamWriter writer;
    writer.Pack().Lpcm(0xA0, 20, 48000, 2, Bytes(audio.begin(), audio.begin() + 503));
    writer.Pack().Lpcm(0xA0, 20, 48000, 2, Bytes(audio.begin() + 503, audio.end()), true);
    writer.Pack().Lpcm(0xA0, 16, 48000, 2, Bytes(400, 1));
    writer.Pack().Lpcm(0xA0, 20, 48000, 2, Bytes(400, 1));

    // Read from a file through the buffered file object, as a conversion does.
    TempDir dir;
    WriteFile(dir.Path("a.vob"), writer.Result());
    TMMIOFile file;
    file.SetFileName(dir.Path("a.vob"));
    file.SetModes(true, 0, 2);
    file.OpenExisting();
    TFileStreamSource source(file);
    EXPECT_EQ(source.Size(), static_cast<int64_t>(writer.Result().size()));
    TLpcmTrackReader reader(source, 0xA0, false, false);
    ASSERT_TRUE(reader.Start());
    EXPECT_EQ(reader.Format().bits, 20);
    Bytes out;
    std::span<const uint8_t> block;
    while (reader.Next(block))
        out.insert(out.end(), block.begin(), block.end());
    EXPECT_EQ(out, ExpectedOutput(samples, 20, false));
    EXPECT_TRUE(reader.FormatChanged());
    EXPECT_DOUBLE_EQ(reader.ChangeSeconds(), 200.0 / 48000);
    EXPECT_TRUE(reader.Emphasis());
    // The listing says so too, though the first packet had no flag, and gives the length that converts.
    MemorySource listed(writer.Result());
    const TAudioTrack listedTrack = ListAudioTracks(listed).at(0);
    EXPECT_EQ(listedTrack.Describe(),
              "LPCM 20 bit, 48000 Hz, 2 channels, 0:00:00.0, then its format changes (the "
              "rest is not converted), pre-emphasis");
    EXPECT_EQ(listedTrack.payloadBytes, static_cast<int64_t>(audio.size()));

    MemorySource again(writer.Result());
    TLpcmTrackReader missing(again, 0xA1, false, false);
    EXPECT_FALSE(missing.Start());
}
