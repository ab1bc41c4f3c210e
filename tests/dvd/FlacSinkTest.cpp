// The FLAC sink on its own: every resolution and channel count read back by FFmpeg and metaflac, and
// what a file cut short claims.
#include "output/FlacSink.h"
#include "SysCallSpy.h"
#include "TestFiles.h"
#include "mmio/MMIOFile.h"

#include <gtest/gtest.h>
#include <random>

namespace {

// Random samples of `format`'s valid bits, laid out as a run gives them: left-justified in their
// containers, little-endian; `values` gets each left-justified to 32 bits, as FFmpeg decodes them.
Bytes SampleBytes(const TAudioFormat& format, size_t frames, std::vector<int>& values) {
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
        values.push_back(static_cast<int>(static_cast<uint32_t>(sample) << (32 - format.validBits)));
    }
    return bytes;
}

TMMIOFile& Created(TMMIOFile& file, const std::string& path) {
    file.SetFileName(path);
    file.SetModes(true, 1, 1);
    file.CreateNew();
    return file;
}

} // namespace

TEST(FlacSink, KeepsTheValidBitsChannelsAndSpeakers) {
    struct Case {
        TAudioFormat format;
        std::string maskTag; // WAVEFORMATEXTENSIBLE_CHANNEL_MASK, where FLAC's own order is not the DVD's
    } cases[] = {
        {{2, 48000, 16, 2, 0}, ""},           {{2, 48000, 20, 3, 0}, ""},
        {{1, 96000, 24, 3, 0x4}, ""},         {{3, 48000, 20, 3, 0xB}, "0x000B"},
        {{4, 48000, 16, 2, 0x107}, "0x0107"}, {{6, 96000, 24, 3, 0x3F}, ""},
        {{8, 48000, 20, 3, 0x63F}, ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.format.channels) + " channels, " + std::to_string(c.format.validBits) +
                     " bits");
        const std::string path = dir.Path("out.flac");
        std::remove(path.c_str());
        std::vector<int> expected;
        // More than one block of the sink's, not a whole number of them.
        const Bytes bytes = SampleBytes(c.format, 10'001, expected);
        TMMIOFile file;
        TOutputMetadata metadata;
        metadata.title = "Title 1";
        TFlacSink sink({}, metadata);
        ASSERT_TRUE(sink.Begin(Created(file, path), c.format));
        ASSERT_TRUE(sink.Write(bytes.data(), 6000 * c.format.BlockAlign()));
        ASSERT_TRUE(sink.Write(bytes.data() + 6000 * c.format.BlockAlign(),
                               static_cast<int32_t>(bytes.size()) - 6000 * c.format.BlockAlign()));
        ASSERT_TRUE(sink.Finish(static_cast<int64_t>(bytes.size())));
        file.Close();

        EXPECT_EQ(ShellOutput("flac -s -t '" + path + "' 2>&1"), "");
        EXPECT_EQ(
            ShellOutput("metaflac --show-bps --show-channels --show-sample-rate --show-total-samples '" +
                        path + "'"),
            std::to_string(c.format.validBits) + "\n" + std::to_string(c.format.channels) + "\n" +
                std::to_string(c.format.sampleRate) + "\n10001\n");
        const std::string tags = ShellOutput("metaflac --export-tags-to=- '" + path + "'");
        EXPECT_EQ(tags,
                  "ENCODER=Oxlip " OXLIP_VERSION "\nTITLE=Title 1\n" +
                      (c.maskTag.empty() ? "" : "WAVEFORMATEXTENSIBLE_CHANNEL_MASK=" + c.maskTag + "\n"));
        // FFmpeg, as libsndfile reads no 20-bit FLAC.
        EXPECT_EQ(DecodeWithFfmpeg("-i '" + path + "'"), expected);
    }
}

// A file left unfinished (a killed process) says its length is unknown and carries no MD5: it claims no
// samples. A sink that is abandoned takes no more.
TEST(FlacSink, AnUnfinishedFileClaimsNoSamples) {
    TempDir dir;
    const TAudioFormat format{2, 48000, 20, 3, 0};
    std::vector<int> values;
    // Many times what waits for the encoder's thread: most of it is in the file when Write returns.
    const Bytes bytes = SampleBytes(format, 600'000, values);
    const std::string path = dir.Path("cut.flac");
    TMMIOFile file;
    {
        TFlacSink sink;
        ASSERT_TRUE(sink.Begin(Created(file, path), format));
        ASSERT_TRUE(sink.Write(bytes.data(), static_cast<int32_t>(bytes.size())));
        sink.Abandon();
        EXPECT_FALSE(sink.Write(bytes.data(), format.BlockAlign()));
        file.Close();
    }
    EXPECT_GT(FileSize(path), 1'000'000);
    EXPECT_EQ(ShellOutput("metaflac --show-total-samples --show-md5sum '" + path + "'"),
              "0\n00000000000000000000000000000000\n");
}

// A write that fails on the encoder's thread fails the sink: at a later Write when samples keep coming,
// at Finish when they had all been given.
TEST(FlacSink, AFailedWriteFailsTheSink) {
    TempDir dir;
    const TAudioFormat format{2, 48000, 20, 3, 0};
    std::vector<int> values;
    const Bytes bytes = SampleBytes(format, 600'000, values);
    for (const int32_t frames : {600'000, 1'000}) {
        SCOPED_TRACE(frames);
        const SysCallSpy spy;
        TMMIOFile file;
        TFlacSink sink;
        ASSERT_TRUE(sink.Begin(Created(file, dir.Path("full.flac")), format));
        SysCallSpy::failWritesAfter = SysCallSpy::writes;
        EXPECT_EQ(sink.Write(bytes.data(), frames * format.BlockAlign()), frames < 100'000);
        EXPECT_FALSE(sink.Finish(frames * format.BlockAlign()));
        sink.Abandon();
    }
}
