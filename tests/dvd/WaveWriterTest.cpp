#include "output/WaveWriter.h"
#include "TestFiles.h"
#include "engine/OutputHeader.h"
#include "mmio/MMIOFile.h"
#include "output/WaveFormats.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <cstring>

namespace {

// Writes a file as a run does: the provisional header, the samples, then the finished header.
void WriteWave(const std::string& path, const TAudioFormat& format, const Bytes& samples) {
    TMMIOFile file;
    file.SetFileName(path);
    file.SetModes(true, 1, 1);
    file.CreateNew();
    const std::vector<uint8_t> header = ProvisionalWaveHeader(format);
    ASSERT_EQ(file.Write(header.data(), static_cast<int32_t>(header.size())),
              static_cast<int32_t>(header.size()));
    ASSERT_EQ(file.Write(samples.data(), static_cast<int32_t>(samples.size())),
              static_cast<int32_t>(samples.size()));
    ASSERT_TRUE(FinishWaveFile(file, format, static_cast<int64_t>(samples.size())));
    file.Close();
}

} // namespace

// 20 valid bits and more than two channels are WAVE_FORMAT_EXTENSIBLE (24 bits per sample, the valid bits,
// the mask; mono and stereo without one get FC or FL FR); mono and stereo at 16 or 24 bits plain PCM.
TEST(WaveWriter, LibsndfileReadsMonoStereoAndSixChannels) {
    struct Case {
        TAudioFormat format;
        int sndfileSubtype;
        uint32_t extensibleMask; // 0: plain PCM
    } cases[] = {
        {{1, 44100, 16, 2}, SF_FORMAT_PCM_16, 0},          {{2, 48000, 24, 3, 0x3}, SF_FORMAT_PCM_24, 0},
        {{2, 96000, 20, 3}, SF_FORMAT_PCM_24, 0x3},        {{1, 48000, 20, 3}, SF_FORMAT_PCM_24, 0x4},
        {{6, 48000, 24, 3, 0x3F}, SF_FORMAT_PCM_24, 0x3F}, {{6, 48000, 20, 3, 0x3F}, SF_FORMAT_PCM_24, 0x3F},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format.channels);
        const int frames = 101;
        Bytes samples;
        for (int i = 0; i < frames * c.format.BlockAlign(); ++i)
            samples.push_back(static_cast<uint8_t>(i * 37 % 251) &
                              (c.format.validBits == 20 && i % 3 == 0 ? 0xF0 : 0xFF));
        WriteWave(dir.Path("out.wav"), c.format, samples);
        const Bytes file = ReadFile(dir.Path("out.wav"));
        ASSERT_EQ(file.size(), WaveWriterHeaderBytes(c.format) + samples.size() + (samples.size() & 1));
        EXPECT_EQ(std::string(file.begin() + 12, file.begin() + 16), "JUNK");
        EXPECT_EQ(U32At(file, 4), file.size() - 8);

        SF_INFO info{};
        SNDFILE* sf = sf_open(dir.Path("out.wav").c_str(), SFM_READ, &info);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(info.channels, c.format.channels);
        EXPECT_EQ(info.samplerate, static_cast<int>(c.format.sampleRate));
        EXPECT_EQ(info.frames, frames);
        EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, c.sndfileSubtype);
        std::vector<int> read(static_cast<size_t>(frames * c.format.channels));
        EXPECT_EQ(sf_readf_int(sf, read.data(), frames), frames);
        sf_close(sf);
        // libsndfile puts the container's bytes at the top of an int.
        for (size_t i = 0; i < read.size(); ++i) {
            uint32_t expected = 0;
            for (int b = 0; b < c.format.containerBytes; ++b)
                expected |= uint32_t{samples[i * c.format.containerBytes + b]}
                            << (8 * (b + 4 - c.format.containerBytes));
            ASSERT_EQ(static_cast<uint32_t>(read[i]), expected) << i;
        }
        EXPECT_EQ(U16At(file, 56), c.extensibleMask ? 0xFFFE : 1);
        EXPECT_EQ(U16At(file, 70), c.format.containerBytes * 8);
        if (c.extensibleMask) {
            EXPECT_EQ(U16At(file, 74), c.format.validBits);
            EXPECT_EQ(U32At(file, 76), c.extensibleMask);
        }
    }
}

TEST(WaveWriter, BecomesRf64JustBeyondTheRiffLimit) {
    const TAudioFormat stereo{2, 48000, 16, 2};
    // The RIFF size counts the header after its first 8 bytes and the (even) data.
    const int64_t largest = 0xFFFFFFFEll - (WaveWriterHeaderBytes(stereo) - 8);
    const std::vector<uint8_t> riff = BuildWaveWriterHeader(stereo, largest);
    EXPECT_EQ(Bytes(riff.begin(), riff.begin() + 4), Bytes({'R', 'I', 'F', 'F'}));
    EXPECT_EQ(U32At(riff, 4), 0xFFFFFFFEu);
    const std::vector<uint8_t> rf64 = BuildWaveWriterHeader(stereo, largest + 2);
    EXPECT_EQ(Bytes(rf64.begin(), rf64.begin() + 4), Bytes({'R', 'F', '6', '4'}));
    EXPECT_EQ(rf64.size(), riff.size());
}

TEST(WaveWriter, LibsndfileReadsAnRf64FileOfFiveGigabytes) {
    TempDir dir;
    const std::string path = dir.Path("big.wav");
    const TAudioFormat format{2, 48000, 20, 3};
    const int64_t frames = 900'000'000; // 5.4 GB of samples, written as a hole
    const int64_t dataBytes = frames * format.BlockAlign();
    MakeSparseFile(path, WaveWriterHeaderBytes(format) + dataBytes);
    TMMIOFile file;
    file.SetFileName(path);
    file.SetModes(true, 2, 1);
    file.OpenExisting();
    ASSERT_TRUE(FinishWaveFile(file, format, dataBytes));
    file.Close();

    SF_INFO info{};
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
    EXPECT_EQ(info.frames, frames);
    EXPECT_EQ(info.channels, 2);
    sf_close(sf);
    EXPECT_EQ(FileSize(path), WaveWriterHeaderBytes(format) + dataBytes);
}

namespace {

// A file of the WAVE row's sink for `settings`, as a run writes it.
Bytes SinkFile(const TempDir& dir, const TSinkSettings& settings, const TAudioFormat& format,
               const Bytes& samples) {
    const std::string path = dir.Path("sink.wav");
    std::remove(path.c_str());
    TMMIOFile file;
    file.SetFileName(path);
    file.SetModes(true, 1, 1);
    file.CreateNew();
    const std::unique_ptr<TAudioSink> sink = MakeWaveSink(settings, {});
    EXPECT_TRUE(sink->Begin(file, format));
    EXPECT_TRUE(sink->Write(samples.data(), static_cast<int32_t>(samples.size())));
    EXPECT_TRUE(sink->Finish(static_cast<int64_t>(samples.size())));
    file.Close();
    return ReadFile(path);
}

} // namespace

// The raw path's file keeps the 46-byte header unless asked for the extensible one, which only 20 valid
// bits take: 24 bits per sample, 20 valid, FL FR, the same samples after it.
TEST(WaveWriter, TheRawPathsHeaderIsExtensibleOnlyWhenAsked) {
    TempDir dir;
    const Bytes samples(1200, 0x50);
    for (const bool extensible : {false, true}) {
        SCOPED_TRACE(extensible);
        TSinkSettings settings;
        settings.plainWave = true;
        settings.extensible = extensible;
        const Bytes twenty = SinkFile(dir, settings, {2, 48000, 20, 3, 0}, samples);
        const Bytes sixteen = SinkFile(dir, settings, {2, 44100, 16, 2, 0}, samples);
        // 16 bits: the plain header either way, byte for byte.
        const TWaveHeader plain16 = BuildWaveHeader(44100, 0, 150);
        ASSERT_EQ(sixteen.size(), kWaveHeaderBytes + samples.size());
        EXPECT_EQ(std::memcmp(sixteen.data(), &plain16, kWaveHeaderBytes), 0);
        if (!extensible) {
            const TWaveHeader plain20 = BuildWaveHeader(48000, 1, 100);
            ASSERT_EQ(twenty.size(), kWaveHeaderBytes + samples.size());
            EXPECT_EQ(std::memcmp(twenty.data(), &plain20, kWaveHeaderBytes), 0);
            continue;
        }
        ASSERT_EQ(twenty.size(), 68 + samples.size());
        EXPECT_EQ(U32At(twenty, 4), twenty.size() - 8);
        EXPECT_EQ(U16At(twenty, 20), 0xFFFE);
        EXPECT_EQ(U16At(twenty, 32), 6);
        EXPECT_EQ(U16At(twenty, 34), 24);
        EXPECT_EQ(U16At(twenty, 38), 20);
        EXPECT_EQ(U32At(twenty, 40), 0x3u);
        EXPECT_EQ(std::string(twenty.begin() + 60, twenty.begin() + 64), "data");
        EXPECT_EQ(U32At(twenty, 64), samples.size());
        EXPECT_EQ(Bytes(twenty.begin() + 68, twenty.end()), samples);
    }
}

// flac refuses a plain PCM header of 20 bits per sample; the writer's 20-bit mono and stereo it encodes, and
// decodes to the same samples.
TEST(WaveWriter, FlacEncodesTwentyBitMonoAndStereo) {
    if (std::system("flac --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "flac is not installed";
    TempDir dir;
    for (const uint16_t channels : {uint16_t{1}, uint16_t{2}}) {
        SCOPED_TRACE(channels);
        const TAudioFormat format{channels, 48000, 20, 3};
        Bytes samples;
        for (int i = 0; i < 4800 * format.BlockAlign(); ++i)
            samples.push_back(static_cast<uint8_t>(i * 29 % 253) & (i % 3 == 0 ? 0xF0 : 0xFF));
        WriteWave(dir.Path("in.wav"), format, samples);
        const std::string encode = "flac -s -f -o '" + dir.Path("out.flac") + "' '" + dir.Path("in.wav") +
                                   "' 2>/dev/null && flac -s -d -f -o '" + dir.Path("back.wav") + "' '" +
                                   dir.Path("out.flac") + "'";
        ASSERT_EQ(std::system(encode.c_str()), 0);
        // flac writes the samples back after a header of its own.
        const Bytes back = ReadFile(dir.Path("back.wav"));
        ASSERT_GE(back.size(), samples.size());
        EXPECT_EQ(Bytes(back.end() - static_cast<long>(samples.size()), back.end()), samples);
    }
}
