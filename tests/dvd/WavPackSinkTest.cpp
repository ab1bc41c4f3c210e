// The WavPack sink on its own, read back by wvunpack and wvtag: every resolution and channel count, each
// way an output ends, the tags, the frame limit, a failed write and what a file cut short claims.
#include "output/WavPackSink.h"
#include "SysCallSpy.h"
#include "TestFiles.h"
#include "mmio/MMIOFile.h"

#include <gtest/gtest.h>
#include <wavpack/wavpack.h>

#include <filesystem>
#include <random>

namespace {

// Random samples of `format`'s valid bits as a run gives them: left-justified in little-endian
// containers, the first the most negative.
Bytes SampleBytes(const TAudioFormat& format, size_t frames) {
    std::mt19937 random(format.channels * 100u + format.validBits);
    std::uniform_int_distribution<int32_t> valid(-(1 << (format.validBits - 1)),
                                                 (1 << (format.validBits - 1)) - 1);
    const int shift = format.containerBytes * 8 - format.validBits;
    Bytes bytes;
    for (size_t i = 0; i < frames * format.channels; ++i) {
        const int32_t sample = i == 0 ? -(1 << (format.validBits - 1)) : valid(random);
        const auto stored = static_cast<uint32_t>(sample) << shift;
        for (int b = 0; b < format.containerBytes; ++b)
            bytes.push_back(static_cast<uint8_t>(stored >> (8 * b)));
    }
    return bytes;
}

TMMIOFile& Created(TMMIOFile& file, const std::string& path) {
    file.SetFileName(path);
    file.SetModes(true, 1, 1);
    file.CreateNew();
    return file;
}

// What wvunpack says of a file.
std::string Info(const std::string& path) {
    return ShellOutput("wvunpack -s '" + path + "' 2>&1");
}

// wvunpack's WAVE file of `path`, its MD5 checked: the data chunk's declared size, the samples it declares
// and all the bytes that follow its header.
struct TUnpacked {
    bool ok = false;
    uint32_t declared = 0;
    Bytes data;
    size_t held = 0;
};
TUnpacked Unpack(const std::string& path) {
    const std::string wave = path + ".wav";
    TUnpacked unpacked;
    unpacked.ok =
        ShellOutput("wvunpack -q -y -m '" + path + "' -o '" + wave + "' >/dev/null 2>&1; echo $?") == "0\n";
    const Bytes bytes = Exists(wave) ? ReadFile(wave) : Bytes{};
    const uint32_t dataId = U32At({'d', 'a', 't', 'a'}, 0);
    size_t at = 12;
    while (at + 8 <= bytes.size() && U32At(bytes, at) != dataId)
        at += 8 + U32At(bytes, at + 4) + (U32At(bytes, at + 4) & 1);
    if (at + 8 <= bytes.size()) {
        unpacked.declared = U32At(bytes, at + 4);
        unpacked.held = bytes.size() - at - 8;
        unpacked.data.assign(
            bytes.begin() + static_cast<long>(at + 8),
            bytes.begin() + static_cast<long>(at + 8 + std::min<size_t>(unpacked.held, unpacked.declared)));
    }
    std::filesystem::remove(wave);
    return unpacked;
}

// The first block's 32-bit sample count: all ones while the length is unknown.
uint32_t ClaimedFrames(const std::string& path) {
    const Bytes bytes = ReadFile(path);
    return bytes.size() >= 32 && U32At(bytes, 0) == U32At({'w', 'v', 'p', 'k'}, 0) ? U32At(bytes, 12) : 0;
}

// `bytes` written through a sink and finished.
void WriteWhole(const std::string& path, const TAudioFormat& format, const Bytes& bytes,
                const TOutputMetadata& metadata = {}) {
    TMMIOFile file;
    TWavPackSink sink({}, metadata);
    ASSERT_TRUE(sink.Begin(Created(file, path), format));
    ASSERT_TRUE(sink.Write(bytes.data(), static_cast<int32_t>(bytes.size())));
    ASSERT_TRUE(sink.Finish(static_cast<int64_t>(bytes.size())));
    file.Close();
}

enum class TEnding { Finish, Ignore, Abandon };

} // namespace

// Every channel count and resolution, finished, stopped and kept (finished after fewer frames), and
// abandoned: wvunpack gives back the samples that were kept, in the bits and speakers they came with,
// their MD5 checked; an abandoned file claims none.
TEST(WavPackSink, KeepsTheSamplesBitsAndSpeakersOrClaimsNone) {
    struct Shape {
        uint16_t channels;
        uint32_t mask;
        const char* speakers; // as wvunpack -s names them
    } shapes[] = {{1, 0, "1 (mono)"}, {2, 0, "2 (stereo)"}, {6, 0x3F, "6 (5.1 surround)"}};
    TempDir dir;
    for (const Shape& shape : shapes)
        for (const uint16_t bits : {16, 20, 24})
            for (const TEnding ending : {TEnding::Finish, TEnding::Ignore, TEnding::Abandon}) {
                const TAudioFormat format{shape.channels, bits == 24 ? 96000u : 48000u, bits,
                                          static_cast<uint16_t>(bits == 16 ? 2 : 3), shape.mask};
                SCOPED_TRACE(std::to_string(shape.channels) + " channels, " + std::to_string(bits) +
                             " bits, ending " + std::to_string(static_cast<int>(ending)));
                const std::string path = dir.Path("out.wv");
                std::filesystem::remove(path);
                // Several of libwavpack's blocks, not a whole number of them, and an odd count of frames.
                const Bytes bytes = SampleBytes(format, 80'001);
                // A stopped run keeps the frames it wrote before the stop; one abandoned has written blocks.
                const int32_t kept = static_cast<int32_t>(
                    ending == TEnding::Ignore ? 35'001 * size_t{format.BlockAlign()} : bytes.size());
                {
                    TMMIOFile file;
                    TWavPackSink sink({}, {});
                    ASSERT_TRUE(sink.Begin(Created(file, path), format));
                    const int32_t first = 7'000 * format.BlockAlign();
                    ASSERT_TRUE(sink.Write(bytes.data(), first));
                    ASSERT_TRUE(sink.Write(bytes.data() + first, kept - first));
                    if (ending == TEnding::Abandon) {
                        sink.Abandon();
                        EXPECT_FALSE(sink.Write(bytes.data(), format.BlockAlign()));
                    } else {
                        ASSERT_TRUE(sink.Finish(kept));
                    }
                    file.Close();
                }
                const std::string info = Info(path);
                if (ending == TEnding::Abandon) {
                    EXPECT_EQ(ClaimedFrames(path), 0xFFFFFFFFu);
                    EXPECT_EQ(info.find("original md5:"), std::string::npos) << info;
                    continue;
                }
                EXPECT_EQ(ClaimedFrames(path), static_cast<uint32_t>(kept / format.BlockAlign()));
                EXPECT_NE(info.find("source:            " + std::to_string(bits) + "-bit ints at " +
                                    std::to_string(format.sampleRate) + " Hz"),
                          std::string::npos)
                    << info;
                EXPECT_NE(info.find("channels:          " + std::string(shape.speakers)), std::string::npos)
                    << info;
                EXPECT_NE(info.find("modalities:        lossless, high"), std::string::npos) << info;
                EXPECT_NE(info.find("original md5:"), std::string::npos) << info;
                const TUnpacked unpacked = Unpack(path);
                EXPECT_TRUE(unpacked.ok);
                EXPECT_EQ(unpacked.declared, static_cast<uint32_t>(kept));
                EXPECT_EQ(unpacked.held, static_cast<size_t>(kept + (kept & 1)));
                EXPECT_TRUE(unpacked.data == Bytes(bytes.begin(), bytes.begin() + kept));
            }
}

// The DVD's own speaker layouts reach the file as they are.
TEST(WavPackSink, KeepsTheSpeakers) {
    struct Case {
        TAudioFormat format;
        const char* speakers;
    } cases[] = {
        {{3, 48000, 20, 3, 0xB}, "3 (FL,FR,LFE)"},
        {{4, 48000, 16, 2, 0x107}, "4 (FL,FR,FC,BC)"},
        {{8, 48000, 24, 3, 0x63F}, "8 (7.1 surround)"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.Path(std::to_string(c.format.channels) + ".wv");
        const Bytes bytes = SampleBytes(c.format, 5'000);
        WriteWhole(path, c.format, bytes);
        EXPECT_NE(Info(path).find("channels:          " + std::string(c.speakers)), std::string::npos)
            << Info(path);
        EXPECT_TRUE(Unpack(path).data == bytes);
    }
}

// The record's fields become APEv2 items, replaced by user tags of their names in any case; user tags of
// one name become one item of several values, names APEv2 does not take are left out; wvtag reads them
// from the file.
TEST(WavPackSink, WritesTheRecordAsApeTags) {
    TOutputMetadata metadata;
    metadata.title = "Title 1";
    metadata.album = "Ein Album";
    metadata.artist = "Them";
    metadata.trackNumber = 3;
    metadata.trackTotal = 12;
    metadata.preEmphasis = true;
    metadata.userTags = {
        {"ARTIST", "Us"}, {"Genre", "Jazz"}, {"x", "too short"}, {"genre", "Blues"}, {"Album", ""}};
    const std::vector<TUserTag> expected = {
        {"Encoder", std::string("Oxlip ") + OXLIP_VERSION},
        {"Title", "Title 1"},
        {"Track", "3/12"},
        {"PRE_EMPHASIS", "1"},
        {"ARTIST", "Us"},
        {"Genre", std::string("Jazz\0Blues", 10)},
    };
    EXPECT_EQ(WavPackTags(metadata), expected);
    for (const auto& [name, taken] :
         std::vector<std::pair<std::string, bool>>{{"Genre", true},
                                                   {"x", false},
                                                   {"ID3", false},
                                                   {"oggs", false},
                                                   {"Caf\xC3\xA9", false},
                                                   {std::string(255, 'N'), true},
                                                   {std::string(256, 'N'), false}})
        EXPECT_EQ(WavPackTakesTag(name, {}), taken) << name;
    TOutputMetadata named;
    named.encoder = "Someone else";
    named.trackNumber = 7;
    EXPECT_EQ(WavPackTags(named), (std::vector<TUserTag>{{"Encoder", "Someone else"}, {"Track", "7"}}));

    TempDir dir;
    const std::string path = dir.Path("tagged.wv");
    const TAudioFormat format{2, 48000, 20, 3, 0};
    const Bytes bytes = SampleBytes(format, 1'000);
    WriteWhole(path, format, bytes, metadata);
    const std::string listed = ShellOutput("wvtag -q -l '" + path + "' 2>&1");
    EXPECT_NE(listed.find("APEv2 tag items:   6"), std::string::npos) << listed;
    for (const char* line :
         {"Encoder:           Oxlip ", "Title:             Title 1", "Track:             3/12",
          "PRE_EMPHASIS:      1", "ARTIST:            Us", "Genre:             Jazz\\Blues"})
        EXPECT_NE(listed.find(line), std::string::npos) << line << "\n" << listed;
    EXPECT_TRUE(Unpack(path).data == bytes);
}

// The limit is the most frames the 32-bit count holds, all ones meaning "unknown": a file that claims it
// reads so through libwavpack's 32-bit interface, as every decoder reads it; one frame more needs the
// 40-bit count of WavPack 5, which older decoders do not know.
TEST(WavPackSink, FrameLimitIsTheThirtyTwoBitCount) {
    const TAudioFormat format{6, 96000, 24, 3, 0x3F};
    const int64_t limit = WavPackFrameLimit(format, {});
    EXPECT_EQ(limit, TWavPackSink({}, {}).FrameLimit(format));
    EXPECT_EQ(limit, MakeWavPackSink({}, {})->FrameLimit(format));

    TempDir dir;
    const std::string path = dir.Path("limit.wv");
    WriteWhole(path, format, SampleBytes(format, 1'000));
    const Bytes written = ReadFile(path);
    for (const int64_t claimed : {limit, limit + 1}) {
        SCOPED_TRACE(claimed);
        Bytes patched = written;
        WavpackHeader header;
        std::memcpy(&header, patched.data(), sizeof header);
        SET_TOTAL_SAMPLES(header, claimed);
        std::memcpy(patched.data(), &header, sizeof header);
        WriteFile(path, patched);
        // A decoder before WavPack 5 reads the 32 bits alone.
        EXPECT_EQ(U32At(patched, 12) == claimed, claimed == limit);
        char error[80];
        // The block's checksum covers the count it no longer matches.
        WavpackContext* context = WavpackOpenFileInput(path.c_str(), error, OPEN_NO_CHECKSUM, 0);
        ASSERT_NE(context, nullptr) << error;
        EXPECT_EQ(WavpackGetNumSamples64(context), claimed);
        // The 32-bit interface: the count, or all ones for "unknown".
        EXPECT_EQ(WavpackGetNumSamples(context),
                  claimed == limit ? static_cast<uint32_t>(limit) : 0xFFFFFFFFu);
        WavpackCloseFile(context);
    }
}

// A write that fails fails the sink: at a later Write when samples keep coming, at Finish when they had
// all been given. An output without samples cannot be finished: WavPack has no such stream.
TEST(WavPackSink, AFailedWriteOrNoSamplesFailsTheSink) {
    TempDir dir;
    const TAudioFormat format{2, 48000, 20, 3, 0};
    const Bytes bytes = SampleBytes(format, 600'000);
    for (const int32_t frames : {600'000, 1'000, 0}) {
        SCOPED_TRACE(frames);
        const SysCallSpy spy;
        TMMIOFile file;
        TWavPackSink sink({}, {});
        ASSERT_TRUE(sink.Begin(Created(file, dir.Path("full.wv")), format));
        if (frames > 0)
            SysCallSpy::failWritesAfter = SysCallSpy::writes;
        EXPECT_EQ(sink.Write(bytes.data(), frames * format.BlockAlign()), frames < 100'000);
        EXPECT_FALSE(sink.Finish(frames * format.BlockAlign()));
        sink.Abandon();
    }
}

// A file left behind by a killed process (what is on the disk before Finish) says its length is unknown,
// has no MD5, and its WAVE header claims no samples; the same file finished claims them all.
TEST(WavPackSink, AFileCutShortClaimsNoSamples) {
    TempDir dir;
    const TAudioFormat format{2, 48000, 20, 3, 0};
    const Bytes bytes = SampleBytes(format, 200'000);
    const std::string path = dir.Path("cut.wv");
    const std::string copy = dir.Path("copy.wv");
    TMMIOFile file;
    Created(file, path).SetBufferSize(32768);
    TWavPackSink sink({}, {});
    ASSERT_TRUE(sink.Begin(file, format));
    ASSERT_TRUE(sink.Write(bytes.data(), static_cast<int32_t>(bytes.size())));
    std::filesystem::copy_file(path, copy);
    EXPECT_GT(FileSize(copy), 500'000);
    EXPECT_EQ(ClaimedFrames(copy), 0xFFFFFFFFu);
    EXPECT_EQ(Info(copy).find("original md5:"), std::string::npos) << Info(copy);
    const TUnpacked cut = Unpack(copy);
    EXPECT_EQ(cut.declared, 0u);
    EXPECT_GT(cut.held, 0u);

    ASSERT_TRUE(sink.Finish(static_cast<int64_t>(bytes.size())));
    file.Close();
    EXPECT_EQ(ClaimedFrames(path), 200'000u);
    EXPECT_EQ(Unpack(path).declared, bytes.size());
}
