// FLAC encoded on several threads: the file is the one a single encoder writes, byte for byte, for every
// level and resolution; flac decodes it to the samples and its MD5 is theirs in order; a failed write or
// an abandoned sink leaves nothing that claims samples.
#include "CliProcess.h"
#include "SysCallSpy.h"
#include "TestFiles.h"
#include "mmio/MMIOFile.h"
#include "output/FlacSink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <random>

namespace {

// A signal whose channels are alike for a while, then unlike, and so on: which of mid-side and
// independent stereo is smaller changes from one stretch of frames to the next, as libFLAC finds when
// it decides once every few frames. `layout` gets the samples as FLAC's MD5 takes
// them: whole bytes, little-endian.
Bytes SignalBytes(const TAudioFormat& format, size_t frames, Bytes& layout) {
    std::mt19937 random(format.channels * 1000u + format.validBits + static_cast<uint32_t>(frames));
    std::normal_distribution<double> noise(0.0, 1.0);
    const double full = std::ldexp(1.0, format.validBits - 1);
    const int shift = format.containerBytes * 8 - format.validBits;
    const int width = (format.validBits + 7) / 8;
    Bytes bytes;
    bytes.reserve(frames * format.BlockAlign());
    double walk = 0;
    for (size_t i = 0; i < frames; ++i) {
        walk = 0.999 * walk + 0.02 * noise(random);
        const bool alike = (i / 7000) % 2 == 1;
        for (int c = 0; c < format.channels; ++c) {
            const double own = 0.3 * std::sin(0.01 * static_cast<double>(i) * (c + 1)) + 0.05 * noise(random);
            const double value = (alike ? walk + 0.001 * noise(random) : own) * 0.5 * full;
            const auto sample = static_cast<int32_t>(std::clamp(value, -full, full - 1));
            const auto stored = static_cast<uint32_t>(sample) << shift;
            for (int b = 0; b < format.containerBytes; ++b)
                bytes.push_back(static_cast<uint8_t>(stored >> (8 * b)));
            for (int b = 0; b < width; ++b)
                layout.push_back(static_cast<uint8_t>(static_cast<uint32_t>(sample) >> (8 * b)));
        }
    }
    return bytes;
}

TMMIOFile& Created(TMMIOFile& file, const std::string& path) {
    std::remove(path.c_str());
    file.SetFileName(path);
    file.SetModes(true, 1, 1);
    file.CreateNew();
    return file;
}

// The samples through a sink of `threads` threads, in uneven pieces as a run gives them.
bool Encode(const std::string& path, const TAudioFormat& format, const Bytes& bytes, int level, int threads) {
    TMMIOFile file;
    TSinkSettings settings;
    settings.level = level;
    settings.threads = threads;
    TOutputMetadata metadata;
    metadata.title = "Take";
    metadata.chapterStarts = {0, 1000};
    TFlacSink sink(settings, metadata);
    if (!sink.Begin(Created(file, path), format))
        return false;
    const size_t piece = 7777 * format.BlockAlign();
    for (size_t at = 0; at < bytes.size(); at += piece)
        if (!sink.Write(bytes.data() + at, static_cast<int32_t>(std::min(piece, bytes.size() - at))))
            return false;
    const bool finished = sink.Finish(static_cast<int64_t>(bytes.size()));
    file.Close();
    return finished;
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

} // namespace

TEST(ParallelFlac, EveryThreadCountWritesTheSameFile) {
    // Mono, stereo and 5.1 at their own rates; the lengths hold a few stretches of each worker's, and a
    // whole number of blocks (of 1152 and of 4096 frames) at even levels, a short last block at odd ones.
    const TAudioFormat formats[] = {
        {1, 44100, 16, 2, 0x4},
        {2, 48000, 20, 3, 0x3},
        {6, 96000, 24, 3, 0x3F},
    };
    const size_t wholeFrames[] = {36864 * 18, 36864 * 9, 36864 * 3};
    TempDir dir;
    for (int level = 0; level <= 8; ++level)
        for (size_t f = 0; f < std::size(formats); ++f) {
            const TAudioFormat& format = formats[f];
            const size_t frames = wholeFrames[f] + (level % 2 == 1 ? 777 : 0);
            SCOPED_TRACE("level " + std::to_string(level) + ", " + std::to_string(format.channels) +
                         " channels, " + std::to_string(frames) + " frames");
            Bytes layout;
            const Bytes bytes = SignalBytes(format, frames, layout);
            ASSERT_TRUE(Encode(dir.Path("1.flac"), format, bytes, level, 1));
            const Bytes single = ReadFile(dir.Path("1.flac"));
            for (const int threads : {2, 4}) {
                const std::string path = dir.Path(std::to_string(threads) + ".flac");
                ASSERT_TRUE(Encode(path, format, bytes, level, threads));
                EXPECT_TRUE(ReadFile(path) == single) << threads << " threads";
            }
            // flac's own decoder: the frames' numbers and CRCs, the samples, and their MD5 in order.
            const std::string joined = dir.Path("4.flac");
            EXPECT_EQ(ShellOutput("flac -s -t " + Quoted(joined) + " 2>&1"), "");
            // Its WAVE file ends in the samples as they were given (20 bits left-justified in 24).
            ShellOutput("flac -s -d -f -o " + Quoted(dir.Path("4.wav")) + " " + Quoted(joined));
            const Bytes wave = ReadFile(dir.Path("4.wav"));
            ASSERT_GE(wave.size(), bytes.size());
            EXPECT_TRUE(
                std::equal(bytes.begin(), bytes.end(), wave.end() - static_cast<ptrdiff_t>(bytes.size())));
            WriteFile(dir.Path("layout"), layout);
            EXPECT_EQ(ShellOutput("metaflac --show-md5sum " + Quoted(joined)),
                      ShellOutput("md5sum < " + Quoted(dir.Path("layout")) + " | cut -c1-32"));
        }
}

// A write that fails on a worker fails the sink, at a later Write while samples keep coming, at Finish
// when they had all been given; a sink abandoned mid-way leaves a file that claims no samples.
TEST(ParallelFlac, AFailedWriteOrAnAbandonedSinkLeavesNoClaim) {
    const TAudioFormat format{2, 96000, 24, 3, 0};
    Bytes layout;
    const Bytes bytes = SignalBytes(format, 1'200'000, layout);
    const auto all = static_cast<int32_t>(bytes.size());
    TempDir dir;
    for (const int threads : {2, 4}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        for (const int32_t frames : {1'200'000, 1'000}) {
            const SysCallSpy spy;
            TMMIOFile file;
            TFlacSink sink;
            sink.SetThreads(threads);
            ASSERT_TRUE(sink.Begin(Created(file, dir.Path("full.flac")), format));
            SysCallSpy::failWritesAfter = SysCallSpy::writes;
            EXPECT_EQ(sink.Write(bytes.data(), frames * format.BlockAlign()), frames < 100'000);
            EXPECT_FALSE(sink.Finish(frames * format.BlockAlign()));
            sink.Abandon();
        }

        const std::string path = dir.Path("cut.flac");
        TMMIOFile file;
        {
            TFlacSink sink;
            sink.SetThreads(threads);
            ASSERT_TRUE(sink.Begin(Created(file, path), format));
            ASSERT_TRUE(sink.Write(bytes.data(), all));
            sink.Abandon();
            EXPECT_FALSE(sink.Write(bytes.data(), format.BlockAlign()));
            file.Close();
        }
        // Most of the samples went out as frames before the abandon.
        EXPECT_GT(FileSize(path), 2'000'000);
        EXPECT_EQ(ShellOutput("metaflac --show-total-samples --show-md5sum " + Quoted(path)),
                  "0\n00000000000000000000000000000000\n");
    }
}

// oxlip-convert, which encodes on every core, interrupted while it reads the input (strace sends the signal
// at the input's 200th read, with stretches being encoded and written behind it): the output goes; killed
// outright, it leaves an output that claims no samples.
TEST(ParallelFlac, ASignalDuringTheEncodeLeavesNoClaim) {
    if (!StraceWorks())
        GTEST_SKIP() << "strace cannot trace here";
    TempDir dir;
    const std::string input = dir.Path("take.raw");
    const std::string output = dir.Path("take.flac");
    WriteFile(input, RandomGroups(1'000'000));
    for (const int signal : {SIGINT, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        std::remove(output.c_str());
        CliRun run;
        run.tracer = StraceInjecting(input, "read", "read:signal=" + std::to_string(signal) + ":when=200");
        run.args = {"-q", "--flac", input};
        const CliOutcome outcome = RunCli(run);
        if (signal == SIGINT) {
            EXPECT_EQ(outcome.err, "");
            EXPECT_EQ(outcome.exitStatus, 128 + signal);
            EXPECT_FALSE(Exists(output));
        } else {
            EXPECT_GT(FileSize(output), 1'000'000);
            EXPECT_EQ(ShellOutput("metaflac --show-total-samples --show-md5sum " + Quoted(output)),
                      "0\n00000000000000000000000000000000\n");
        }
    }
}
