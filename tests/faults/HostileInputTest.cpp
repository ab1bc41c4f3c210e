// Inputs built to mislead: RIFF headers with hostile chunk sizes, and inputs of 2 GiB and more (sparse
// files, so that no gigabytes are written). All go through oxlip-convert.
#include "CliProcess.h"
#include "TestFiles.h"

#include "run/ConversionRun.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#ifdef OXLIP_HAVE_SNDFILE
#include <sndfile.h>
#endif

namespace {

// The samples a 16-bit conversion must hold: the top 16 bits of every sample of every whole group from
// `offset` on, in big-endian words for raw input and little-endian words for WAVE input.
std::vector<int16_t> ExpectedSamples(const Bytes& input, size_t offset) {
    std::vector<int16_t> samples;
    for (size_t at = offset; at + 10 <= input.size(); at += 10)
        for (size_t i = at; i < at + 8; i += 2)
            samples.push_back(static_cast<int16_t>(offset == 0 ? input[i] << 8 | input[i + 1]
                                                               : input[i + 1] << 8 | input[i]));
    return samples;
}

// Checks that `output` is a 16-bit stereo WAVE file at 48,000 Hz whose header describes exactly the
// samples it holds, and that these are `expected`; read by hand, and by libsndfile where it is built in.
void ExpectSixteenBitWave(const std::string& output, const std::vector<int16_t>& expected) {
    const Bytes out = ReadFile(output);
    ASSERT_EQ(out.size(), 46 + 2 * expected.size());
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "RIFF");
    EXPECT_EQ(U32At(out, 4), out.size() - 8);
    EXPECT_EQ(std::string(out.begin() + 8, out.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(U16At(out, 20), 1) << "PCM";
    EXPECT_EQ(U16At(out, 22), 2) << "channels";
    EXPECT_EQ(U32At(out, 24), 48000u);
    EXPECT_EQ(U16At(out, 34), 16) << "bits";
    EXPECT_EQ(std::string(out.begin() + 38, out.begin() + 42), "data");
    EXPECT_EQ(U32At(out, 42), out.size() - 46);
    std::vector<int16_t> held;
    for (size_t i = 46; i + 1 < out.size(); i += 2)
        held.push_back(static_cast<int16_t>(U16At(out, i)));
    EXPECT_EQ(held, expected);
#ifdef OXLIP_HAVE_SNDFILE
    SF_INFO info{};
    SNDFILE* file = sf_open(output.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 48000);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::vector<int16_t> read(expected.size() + 2);
    read.resize(static_cast<size_t>(sf_read_short(file, read.data(), static_cast<sf_count_t>(read.size()))));
    sf_close(file);
    EXPECT_EQ(read, expected) << "as libsndfile reads it";
#endif
}

class HostileInput : public ::testing::Test {
protected:
    CliOutcome Convert(std::vector<std::string> args) {
        CliRun run;
        run.args = {"-q", "-o", output_};
        run.args.insert(run.args.end(), args.begin(), args.end());
        run.args.push_back(input_);
        return RunCli(run);
    }

    TempDir dir_;
    std::string input_ = dir_.Path("take.wav");
    std::string output_ = dir_.Path("out.wav");
};

TEST_F(HostileInput, RiffHeadersWithHostileSizes) {
    const Bytes groups = RandomGroups(25) + Bytes{1, 2, 3}; // and an incomplete group, which is dropped
    const Bytes fmt = Chunk("fmt ", 16, 16, 0);
    const Bytes data = Chunk("data", static_cast<uint32_t>(groups.size()), 0) + groups;
    struct Case {
        const char* name;
        Bytes file;
        size_t dataOffset; // 0: taken for raw input
    };
    const Case cases[] = {
        {"a chunk of size 0", RiffStart() + fmt + Chunk("JUNK", 0, 0) + data, 12 + 24 + 8 + 8},
        {"a chunk of odd size, padded", RiffStart() + fmt + Chunk("LIST", 25, 26) + data, 12 + 24 + 34 + 8},
        {"a chunk of 0x7FFFFFFF bytes", RiffStart() + fmt + Chunk("JUNK", 0x7FFFFFFF, 8) + data, 0},
        {"a chunk of 0x80000000 bytes", RiffStart() + fmt + Chunk("JUNK", 0x80000000, 8) + data, 0},
        {"a chunk of 0xFFFFFFFF bytes", RiffStart() + fmt + Chunk("JUNK", 0xFFFFFFFF, 8) + data, 0},
        {"a format chunk of 0xFFFFFFFF bytes", RiffStart() + Chunk("fmt ", 0xFFFFFFFF, 16) + data, 0},
        {"a format chunk of 0 bytes", RiffStart() + Chunk("fmt ", 0, 0) + data, 12 + 8 + 8},
        {"a format chunk of 100,000 bytes", RiffStart() + Chunk("fmt ", 100'000, 100'000) + data,
         12 + 8 + 100'000 + 8},
        {"a data chunk of 0xFFFFFFFF bytes", RiffStart() + fmt + Chunk("data", 0xFFFFFFFF, 0) + groups,
         12 + 24 + 8},
        {"a data chunk header as the last 8 bytes", RiffStart() + fmt + Chunk("data", 1000, 0), 12 + 24 + 8},
        {"a RIFF header alone", RiffStart(), 0},
        {"a file of 11 bytes", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(input_, c.file);
        const InputGuard guard(input_);
        const CliOutcome outcome = Convert({"-y", "-b", "16"});
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(outcome.exitStatus, 0);
        EXPECT_TRUE(guard.Unchanged());
        ExpectSixteenBitWave(output_, ExpectedSamples(c.file, c.dataOffset));
        ::unlink(output_.c_str());
    }
}

class HugeInput : public HostileInput {};

TEST_F(HugeInput, FallbackQuestionAnsweredNoWritesNothing) {
    // 357,913,877 groups, the first count that 24-bit samples cannot describe. No terminal: No.
    MakeSparseFile(input_, 357'913'877LL * 10);
    const InputGuard guard(input_);
    const CliOutcome outcome = Convert({});
    EXPECT_EQ(outcome.err,
              Said(input_, {std::string(msg::kFallbackTo16) +
                            "\rAnswered No: there is no terminal to ask. Give -y to answer Yes."}));
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_LE(FileSize(output_), 0) << "nothing is written";
    EXPECT_TRUE(guard.Unchanged());
}

TEST_F(HugeInput, TooManySamplesEvenForSixteenBits) {
    MakeSparseFile(input_, 536'870'908LL * 10);
    const InputGuard guard(input_);
    CliOutcome outcome = Convert({"-b", "16"});
    EXPECT_EQ(outcome.err, Said(input_, {msg::kTooManyFor16}));
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_LE(FileSize(output_), 0);

    // At 24 bits, -y answers the fallback question with Yes, and the same limit holds at 16 bits.
    outcome = Convert({"-y"});
    EXPECT_EQ(outcome.err, Said(input_, {std::string(msg::kFallbackTo16) + " yes (-y)", msg::kTooManyFor16}));
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_LE(FileSize(output_), 0);
    EXPECT_TRUE(guard.Unchanged());
}

TEST_F(HugeInput, BeyondTwoGibibytesTheOutputClaimsOnlyWhatItHolds) {
    // 2^31 + 2 bytes of raw input: 214,748,365 groups. The header is on disk with the first buffer, its
    // sizes still 0 until the end; the run is then interrupted in the middle, which deletes the output.
    MakeSparseFile(input_, (1LL << 31) + 2);
    const InputGuard guard(input_);
    WriteWatch watch(dir_.Root().string(), "out.wav");
    CliRun run;
    run.args = {"-q", "-o", output_, input_};
    CliProcess cli(run);
    ASSERT_TRUE(watch.Wait(cli.Pid())) << cli.Wait().err;

    Bytes header(46);
    const int fd = ::open(output_.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pread(fd, header.data(), header.size(), 0), 46);
    ::close(fd);
    cli.SignalGroup(SIGINT);
    const CliOutcome outcome = cli.Wait();

    EXPECT_EQ(U32At(header, 42), 0u) << "data size";
    EXPECT_EQ(U32At(header, 4), 0u) << "RIFF size";
    EXPECT_EQ(U16At(header, 32), 6) << "block align";
    EXPECT_EQ(U16At(header, 34), 20) << "bits";
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.exitStatus, 130);
    EXPECT_FALSE(Exists(output_));
    EXPECT_TRUE(guard.Unchanged());
}

} // namespace
