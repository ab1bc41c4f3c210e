#include "output/WaveWriter.h"
#include "TestFiles.h"
#include "mmio/MMIOFile.h"

#include <gtest/gtest.h>
#include <sndfile.h>

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

TEST(WaveWriter, LibsndfileReadsMonoStereoAndSixChannels) {
    struct Case {
        TAudioFormat format;
        int sndfileSubtype;
    } cases[] = {
        {{1, 44100, 16, 2}, SF_FORMAT_PCM_16},
        {{2, 96000, 20, 3}, SF_FORMAT_PCM_24},
        {{6, 48000, 24, 3, 0x3F}, SF_FORMAT_PCM_24},
        {{6, 48000, 20, 3, 0x3F}, SF_FORMAT_PCM_24},
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
        ASSERT_EQ(file.size(), WaveWriterHeaderBytes(c.format) + samples.size());
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
        if (c.format.channels == 6) {
            EXPECT_EQ(U16At(file, 56), 0xFFFE);
            EXPECT_EQ(U16At(file, 74), c.format.validBits);
            EXPECT_EQ(U32At(file, 76), 0x3Fu);
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
