// oxlip-convert interrupted, and two of them writing one output. The moments are made exact with strace,
// which sends the signal when the program makes a given system call on a given file: no sleeps, no races.
#include "CliProcess.h"
#include "TestFiles.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#ifdef OXLIP_HAVE_SNDFILE
#include "texts/Messages.h"
#include <sndfile.h>
#endif

namespace {

class Interrupt : public ::testing::Test {
protected:
    void SetUp() override {
        if (!StraceWorks())
            GTEST_SKIP() << "strace cannot trace here";
        WriteFile(input_, RandomGroups(100'000)); // 1,000,000 bytes: 37 buffers of 24-bit output
    }

    TempDir dir_;
    std::string input_ = dir_.Path("take.raw");
    std::string output_ = dir_.Path("take.wav");
};

TEST_F(Interrupt, AtTheStartInTheMiddleAndAtTheVeryEnd) {
    const InputGuard guard(input_);
    struct Moment {
        const char* name;
        std::string file;
        std::string syscalls;
        std::string when;
    };
    const Moment moments[] = {
        {"start: opening the input", input_, "openat", ":when=1"},
        {"middle: the third buffer of output", output_, "write", ":when=3"},
        {"very end: the complete output is being closed", output_, "close", ""},
    };
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        for (const Moment& moment : moments) {
            SCOPED_TRACE(std::string(strsignal(signal)) + " at the " + moment.name);
            ::unlink(output_.c_str()); // what a failed case left must not change the next
            CliRun run;
            run.tracer = StraceInjecting(moment.file, moment.syscalls,
                                         moment.syscalls + ":signal=" + std::to_string(signal) + moment.when);
            run.args = {"-q", input_};
            const CliOutcome outcome = RunCli(run);
            EXPECT_EQ(outcome.err, "");
            EXPECT_EQ(outcome.exitStatus, 128 + signal);
            EXPECT_FALSE(Exists(output_));
            EXPECT_TRUE(guard.Unchanged());
        }
    }
}

// Killed outright in the middle, the program cannot clean up: the output left behind claims no samples,
// so that readers take it for what it holds.
TEST_F(Interrupt, AKilledRunLeavesAnOutputThatClaimsNoSamples) {
    CliRun run;
    run.tracer = StraceInjecting(output_, "write", "write:signal=SIGKILL:when=3");
    run.args = {"-q", input_};
    const CliOutcome outcome = RunCli(run);
    ASSERT_NE(outcome.exitStatus, 0) << outcome.err;
    const Bytes out = ReadFile(output_);
    ASSERT_GE(out.size(), 32768u);
    EXPECT_EQ(U32At(out, 4), 0u) << "RIFF size";
    EXPECT_EQ(U32At(out, 42), 0u) << "data size";
}

TEST_F(Interrupt, TwoProcessesWritingTheSameOutput) {
    // The first process is stopped (SIGSTOP, sent by strace) at its second buffer of output: it holds the
    // output open for writing. The second process, converting another input to the same name, must be
    // refused without touching the file; the first then completes a valid conversion.
    const std::string other = dir_.Path("other.raw");
    WriteFile(other, RandomGroups(500));
    int trace[2];
    ASSERT_EQ(::pipe2(trace, O_CLOEXEC), 0);
    CliRun first;
    first.tracer = StraceInjecting(output_, "write", "write:signal=SIGSTOP:when=2",
                                   "/dev/fd/" + std::to_string(trace[1]));
    first.keepFd = trace[1];
    first.args = {"-q", "-b", "16", "-o", output_, input_};
    CliProcess holder(first);
    ::close(trace[1]);
    std::string lines;
    char buffer[4096];
    ssize_t n;
    while (lines.find("stopped by SIGSTOP") == std::string::npos &&
           (n = ::read(trace[0], buffer, sizeof buffer)) > 0)
        lines.append(buffer, static_cast<size_t>(n));
    ASSERT_NE(lines.find("stopped by SIGSTOP"), std::string::npos) << holder.Wait().err;
    const int64_t sizeWhileHeld = FileSize(output_);
    EXPECT_GT(sizeWhileHeld, 46);

    CliRun second;
    second.args = {"-q", "-y", "-o", output_, other};
    const CliOutcome refused = RunCli(second);
    EXPECT_EQ(refused.err,
              Said(other, {"Output file exists - Overwrite? (" + output_ + ") yes (-y)"}) +
                  Said(output_, {"Sharing violation - file is in use.", msg::kCannotCreateOutput}));
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_EQ(FileSize(output_), sizeWhileHeld) << "the refused create did not empty the file";

    holder.SignalGroup(SIGCONT);
    while ((n = ::read(trace[0], buffer, sizeof buffer)) > 0) {
    }
    ::close(trace[0]);
    const CliOutcome completed = holder.Wait();
    EXPECT_EQ(completed.err, "");
    EXPECT_EQ(completed.exitStatus, 0);

    // The file left is the first input's complete conversion.
    const Bytes in = ReadFile(input_);
    const Bytes out = ReadFile(output_);
    ASSERT_EQ(out.size(), 46 + in.size() / 10 * 8);
    EXPECT_EQ(U32At(out, 42), out.size() - 46);
    for (size_t group = 0; group < in.size() / 10; ++group)
        for (size_t i = 0; i < 8; i += 2)
            ASSERT_EQ(U16At(out, 46 + 8 * group + i), in[10 * group + i] << 8 | in[10 * group + i + 1]);
#ifdef OXLIP_HAVE_SNDFILE
    SF_INFO info{};
    SNDFILE* file = sf_open(output_.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(info.frames, static_cast<sf_count_t>(in.size() / 10 * 2));
    sf_close(file);
#endif
}

} // namespace
