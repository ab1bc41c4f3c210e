// Faults of the files and the disk, tried for real on oxlip-convert: each case checks what it says, its exit
// status, that the input is unchanged and what is left on disk.
#include "CliProcess.h"
#include "TestFiles.h"

#include "ChildProcess.h"
#include "mmio/MMIOFile.h"
#include "run/ConversionRun.h"

#include "texts/Messages.h"
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

constexpr const char* kSharing = msg::kSharingViolation;

class FileFaults : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(input_, RandomGroups(100'000)); } // 1,000,000 bytes

    CliOutcome Convert(const std::string& output, CliRun run = {}) {
        run.args.insert(run.args.end(), {"-q", "-o", output, input_});
        return RunCli(run);
    }

    TempDir dir_;
    std::string input_ = dir_.Path("take.raw");
    std::string output_ = dir_.Path("take.wav");
};

TEST_F(FileFaults, DiskFullDeletesTheIncompleteOutput) {
    // 64 KiB: the disk fills in the middle of the run. 100 bytes with a small input: the whole output is
    // still in the buffer, and it is the flush when the output is closed that fails.
    for (const auto& [limit, groups] : {std::pair<rlim_t, size_t>{65536, 100'000}, {100, 100}}) {
        SCOPED_TRACE("file size limit " + std::to_string(limit));
        WriteFile(input_, RandomGroups(groups));
        ::unlink(output_.c_str());
        const InputGuard guard(input_);
        CliRun run;
        run.fileSizeLimit = limit;
        const CliOutcome outcome = Convert(output_, run);
        EXPECT_EQ(outcome.err, Said(input_, {msg::kWriteFailed}));
        EXPECT_EQ(outcome.exitStatus, 1);
        EXPECT_FALSE(Exists(output_));
        EXPECT_TRUE(guard.Unchanged());
    }

    // The message cannot be shown when standard error is a pipe nobody reads: the output goes all the same.
    WriteFile(input_, RandomGroups(100'000));
    ::unlink(output_.c_str());
    CliRun run;
    run.fileSizeLimit = 65536;
    run.errToClosedPipe = true;
    const CliOutcome outcome = Convert(output_, run);
    EXPECT_EQ(outcome.termSignal, 0) << strsignal(outcome.termSignal);
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_FALSE(Exists(output_));
}

TEST_F(FileFaults, DiskFullDeletesTheIncompleteFlacOutput) {
    const InputGuard guard(input_);
    const std::string flac = dir_.Path("take.flac");
    CliRun run;
    run.fileSizeLimit = 65536;
    const CliOutcome outcome = Convert(flac, run);
    EXPECT_EQ(outcome.err, Said(input_, {msg::kWriteFailed}));
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_FALSE(Exists(flac));
    EXPECT_TRUE(guard.Unchanged());
}

// A program stream's outputs are written behind, on a thread of their own, a 1 MiB buffer at a time: one
// write that fails there fails the run all the same. (Thirty seconds make about five buffers; strace counts
// each thread's writes, and the third is the writer's, as the run's own thread writes only the last buffer
// and the header.)
TEST_F(FileFaults, AFailedWriteBehindDeletesTheOutputOfAStream) {
    if (!StraceWorks())
        GTEST_SKIP() << "strace cannot trace here";
    const std::string vob = dir_.Path("take.vob");
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -f lavfi -i anoisesrc=duration=30 -c:a pcm_dvd -ac 2 "
                           "-f dvd '" +
                           vob + "'")
                              .c_str()),
              0);
    const InputGuard guard(vob);
    for (const char* name : {"take.wav", "take.flac"}) {
        SCOPED_TRACE(name);
        const std::string output = dir_.Path(name);
        CliRun run;
        run.tracer = {"strace", "-f", "-o",          "/dev/null", "-P",
                      output,   "-e", "trace=write", "-e",        "inject=write:error=ENOSPC:when=3"};
        run.args = {"-q", "-o", output, vob};
        const CliOutcome outcome = RunCli(run);
        EXPECT_EQ(outcome.err, Said(vob, {msg::kWriteFailed}));
        EXPECT_EQ(outcome.exitStatus, 1);
        EXPECT_FALSE(Exists(output));
    }
    EXPECT_TRUE(guard.Unchanged());
}

TEST_F(FileFaults, ReadErrors) {
    if (!StraceWorks())
        GTEST_SKIP() << "strace cannot trace here";
    // The input's reads: the scan's, then the conversion's, 32,768 bytes each. EIO from the third read
    // comes in the middle of the input; EIO from the first read on leaves nothing readable; and EIO from
    // the scan's read alone must not make a WAVE file pass for raw input.
    const Bytes raw = ReadFile(input_);
    const Bytes wave = MakeWave(RandomGroups(100));
    for (const auto& [input, when] :
         {std::pair<const Bytes&, std::string>{raw, "3"}, {raw, "1+"}, {wave, "1"}}) {
        SCOPED_TRACE("EIO from read " + when + " of a " + std::to_string(input.size()) + "-byte input");
        WriteFile(input_, input);
        ::unlink(output_.c_str());
        const InputGuard guard(input_);
        CliRun run;
        run.tracer = StraceInjecting(input_, "read", "read:error=EIO:when=" + when);
        const CliOutcome outcome = Convert(output_, run);
        EXPECT_EQ(outcome.err, Said(input_, {msg::kReadFailed}));
        EXPECT_EQ(outcome.exitStatus, 1);
        EXPECT_FALSE(Exists(output_));
        EXPECT_TRUE(guard.Unchanged());
    }
}

TEST_F(FileFaults, ReadErrorsWhileRecognisingAnInput) {
    if (!StraceWorks())
        GTEST_SKIP() << "strace cannot trace here";
    // A program stream's first pack, then random bytes; and an image's volume descriptor at sector 16,
    // looked at by the second read of the file. Either read failing must not make the file raw audio.
    Bytes stream = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, 0xF8};
    stream.resize(2048, 0xFF);
    stream = stream + RandomGroups(1000);
    Bytes image = RandomGroups(20'000);
    std::memcpy(image.data() + 32769, "CD001", 5);
    for (const auto& [name, input, when] :
         {std::tuple<std::string, const Bytes&, const char*>{"t.vob", stream, "1"},
          {"t.iso", image, "1"},
          {"t.iso", image, "2"}}) {
        SCOPED_TRACE(name + ", EIO from pread " + when);
        const std::string path = dir_.Path(name);
        WriteFile(path, input);
        ::unlink(output_.c_str());
        const InputGuard guard(path);
        CliRun run;
        run.tracer = StraceInjecting(path, "pread64", std::string("pread64:error=EIO:when=") + when);
        run.args = {"-q", "-y", "-o", output_, path};
        const CliOutcome outcome = RunCli(run);
        EXPECT_EQ(outcome.err, Said(path, {msg::kReadFailed}));
        EXPECT_EQ(outcome.exitStatus, 1);
        EXPECT_FALSE(Exists(output_));
        EXPECT_TRUE(guard.Unchanged());
    }
}

TEST_F(FileFaults, OutputThatCannotBeCreated) {
    const InputGuard guard(input_);
    ASSERT_EQ(::mkdir(dir_.Path("folder").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(dir_.Path("readonly").c_str(), 0555), 0);
    // The other user must reach the input and the folders.
    ASSERT_EQ(::chmod(dir_.Root().c_str(), 0755), 0);

    // Root writes into a read-only folder: that case runs as another user, where one can be had.
    const bool otherUser =
        ::geteuid() != 0 || RunInChild([] { return ::setresuid(65534, 65534, 65534) == 0 ? 0 : 1; }) == 0;

    struct Case {
        std::string output;
        bool asNobody;
        const char* message;
    };
    for (const Case& c : {Case{dir_.Path("missing/take.wav"), false, msg::kPathNotFound},
                          Case{dir_.Path("readonly/take.wav"), true, msg::kFolderNotWritable},
                          Case{dir_.Path("folder"), false, msg::kInvalidFile}}) {
        if (c.asNobody && !otherUser)
            continue;
        SCOPED_TRACE(c.output);
        CliRun run;
        run.asNobody = c.asNobody;
        const CliOutcome outcome = Convert(c.output, run);
        EXPECT_EQ(outcome.err, Said(c.output, {c.message, msg::kCannotCreateOutput})) << "named: the output";
        EXPECT_EQ(outcome.exitStatus, 1);
        EXPECT_TRUE(guard.Unchanged());
    }
    EXPECT_FALSE(Exists(dir_.Path("missing")));
    EXPECT_FALSE(Exists(dir_.Path("readonly/take.wav")));
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path("folder")));
    if (!otherUser)
        GTEST_SKIP() << "no other user to be: the read-only folder was not tried";
}

TEST_F(FileFaults, InputHeldOpenForWritingByAnotherProcess) {
    const InputGuard guard(input_);
    Signal opened, release;
    const pid_t holder = ::fork();
    if (holder == 0) {
        TMMIOFile writer;
        writer.SetFileName(input_);
        writer.SetModes(true, 1, 4); // writing, denying nothing
        writer.OpenExisting();
        opened.Raise();
        release.Wait();
        ::_exit(0);
    }
    ASSERT_TRUE(opened.Wait());
    const CliOutcome outcome = Convert(output_);
    release.Raise();
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(outcome.err, Said(input_, {kSharing, msg::kCannotOpenInput}));
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_FALSE(Exists(output_));
    EXPECT_TRUE(guard.Unchanged());

    // Once the writer is gone the same conversion goes through.
    EXPECT_EQ(Convert(output_).exitStatus, 0);
}

TEST_F(FileFaults, OutputThatIsTheInputUnderAnotherName) {
    const InputGuard guard(input_);
    ASSERT_EQ(::link(input_.c_str(), dir_.Path("hard.wav").c_str()), 0);
    ASSERT_EQ(::symlink(input_.c_str(), dir_.Path("soft.wav").c_str()), 0);
    ASSERT_EQ(::mkdir(dir_.Path("sub").c_str(), 0755), 0);
    for (const std::string& other :
         {dir_.Path("hard.wav"), dir_.Path("soft.wav"), dir_.Path("sub/../take.raw"), dir_.Path("./take.raw"),
          dir_.Path("sub/./.././take.raw")}) {
        SCOPED_TRACE(other);
        CliRun run;
        run.args = {"-y"};
        const CliOutcome outcome = Convert(other, run);
        EXPECT_EQ(outcome.err, Said(input_, {std::string(msg::kOverwrite) + " (" + other + ") yes (-y)"}) +
                                   Said(other, {kSharing, msg::kCannotCreateOutput}));
        EXPECT_EQ(outcome.exitStatus, 1);
        EXPECT_TRUE(guard.Unchanged());
    }
    // The very same name is refused before anything is opened.
    const CliOutcome same = Convert(input_);
    EXPECT_EQ(same.err, Said(input_, {msg::kSameName}));
    EXPECT_EQ(same.exitStatus, 1);
    EXPECT_TRUE(guard.Unchanged());
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.Path("soft.wav")));
    EXPECT_EQ(ReadFile(dir_.Path("hard.wav")), ReadFile(input_));
}

TEST_F(FileFaults, InputsThatAreNoRegularFiles) {
    ASSERT_EQ(::mkfifo(dir_.Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink(dir_.Path("gone.raw").c_str(), dir_.Path("broken.raw").c_str()), 0);
    ASSERT_EQ(::mkdir(dir_.Path("folder.raw").c_str(), 0755), 0);
    const std::string invalid = "Invalid file - could not be opened.";
    struct Case {
        std::string input;
        std::vector<std::string> messages;
    };
    // No -o: the proposed output name lies in the test's folder (only /dev/zero is given one).
    for (const Case& c : {Case{dir_.Path("fifo"), {invalid, msg::kCannotOpenInput}},
                          Case{"/dev/zero", {invalid, msg::kCannotOpenInput}},
                          Case{dir_.Path("folder.raw"), {std::string(msg::kNoInput) + "\r" + msg::kNoDisc}},
                          Case{dir_.Path("broken.raw"), {msg::kNoInput}}}) {
        SCOPED_TRACE(c.input);
        CliRun run;
        run.args = {"-q"};
        if (c.input == "/dev/zero")
            run.args.insert(run.args.end(), {"-o", dir_.Path("zero.wav")});
        run.args.push_back(c.input);
        const CliOutcome outcome = RunCli(run);
        EXPECT_EQ(outcome.err, Said(c.input, c.messages));
        EXPECT_EQ(outcome.exitStatus, 1);
    }
    // Nothing was created beside them, and the FIFO is still a FIFO nobody wrote to.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Root()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"broken.raw", "fifo", "folder.raw", "take.raw"}));
    EXPECT_TRUE(std::filesystem::is_fifo(dir_.Path("fifo")));
}

} // namespace
