#include "FakeHost.h"
#include "SysCallSpy.h"
#include "TestFiles.h"

#include "engine/OutputHeader.h"
#include "output/WaveWriter.h"
#include "run/RunEntry.h"

#include "texts/Messages.h"
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ConversionRun : public ::testing::Test {
protected:
    void SetUp() override {
        host_.input = dir_.Path("take.raw");
        host_.output = dir_.Path("take.wav");
    }

    TRunResult Run() {
        TConversionRun run(host_, host_.Request());
        host_.run = &run;
        const TRunResult result = run.Execute();
        groupCount_ = run.GroupCount();
        host_.run = nullptr;
        return result;
    }

    // The output expected for `groups` converted one by one (the transcoder is checked on its own).
    static Bytes Expected(const Bytes& groups, bool bigEndian, int formatIndex, int32_t rate, size_t count) {
        const TWaveHeader header = BuildWaveHeader(rate, formatIndex, static_cast<uint32_t>(count));
        const auto* h = reinterpret_cast<const uint8_t*>(&header);
        Bytes out(h, h + sizeof header);
        TSampleGroup group{};
        for (size_t i = 0; i < count; ++i) {
            uint8_t bytes[kMaxEmittedBytes];
            NormalizeGroup(groups.data() + 10 * i, bigEndian, group);
            const int n = EmitGroup(group, formatIndex, bytes);
            out.insert(out.end(), bytes, bytes + n);
        }
        return out;
    }

    TempDir dir_;
    FakeHost host_;
    int64_t groupCount_ = 0;
};

TEST_F(ConversionRun, RawInputDropsTheIncompleteLastGroup) {
    const Bytes input = RandomGroups(3);
    WriteFile(host_.input, Bytes(input.begin(), input.begin() + 25));
    host_.formatIndex = 0;
    EXPECT_EQ(Run(), TRunResult::Completed);
    EXPECT_EQ(groupCount_, 2);
    EXPECT_EQ(ReadFile(host_.output), Expected(input, true, 0, 48000, 2));
    EXPECT_TRUE(host_.errors.empty());
    EXPECT_EQ(host_.gaugeMaximum, 2);
    EXPECT_EQ(host_.gaugeProgress, 2);
    EXPECT_EQ(host_.pumps, 4) << "twice per group";
    EXPECT_EQ(host_.busyLog, (std::vector<std::string>{"busy", "stop shown", "stop hidden", "idle"}));
}

TEST_F(ConversionRun, WaveInputIsConvertedFromItsDataToTheEndOfTheFile) {
    const Bytes samples = RandomGroups(100);
    Bytes wave = MakeWave(samples); // data at 44, 1,000 bytes
    host_.input = dir_.Path("take.wav");
    host_.output = dir_.Path("take_new.wav");
    host_.sampleRate = 48000;
    WriteFile(host_.input, wave);
    EXPECT_EQ(Run(), TRunResult::Completed);
    EXPECT_EQ(groupCount_, 100);
    EXPECT_EQ(ReadFile(host_.output), Expected(samples, false, 1, 48000, 100));
    EXPECT_EQ(U32At(ReadFile(host_.output), 24), 48000u) << "the window's rate, not the input's 44100";

    // A chunk of 10 body bytes after the data is converted too, as the 101st group.
    Append(wave, "LIST");
    AppendU32(wave, 10);
    wave.resize(wave.size() + 10, 0x33);
    WriteFile(host_.input, wave);
    host_.confirmAnswers = {true};
    EXPECT_EQ(Run(), TRunResult::Completed);
    EXPECT_EQ(groupCount_, 101);
    const Bytes tail(wave.begin() + 44, wave.end());
    EXPECT_EQ(ReadFile(host_.output), Expected(tail, false, 1, 48000, 101));
}

TEST_F(ConversionRun, EmptyInputGivesTheHeaderAlone) {
    WriteFile(host_.input, {});
    host_.formatIndex = 0;
    EXPECT_EQ(Run(), TRunResult::Completed);
    const Bytes out = ReadFile(host_.output);
    ASSERT_EQ(out.size(), 46u);
    EXPECT_EQ(U32At(out, 42), 0u);
    EXPECT_EQ(host_.gaugeMaximum, 0);
    EXPECT_EQ(host_.gaugeProgress, 0);
}

TEST_F(ConversionRun, ChecksBeforeAnythingIsOpened) {
    host_.output = host_.input;
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.errors, std::vector<std::string>{msg::kSameName});

    host_.errors.clear();
    host_.output = dir_.Path("take.wav");
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.errors, std::vector<std::string>{msg::kNoInput});
    EXPECT_FALSE(Exists(host_.output));

    // A folder is no input file either.
    host_.errors.clear();
    host_.input = dir_.Root().string();
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.errors, std::vector<std::string>{msg::kNoInput});
}

TEST_F(ConversionRun, AnExistingOutputIsOverwrittenOnlyOnYes) {
    WriteFile(host_.input, RandomGroups(5));
    WriteFile(host_.output, Bytes{9, 9, 9});
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.questions, std::vector<std::string>{msg::kOverwrite});
    EXPECT_TRUE(host_.errors.empty()) << "No ends the run silently";
    EXPECT_EQ(ReadFile(host_.output), (Bytes{9, 9, 9}));

    host_.confirmAnswers = {true};
    EXPECT_EQ(Run(), TRunResult::Completed);
    EXPECT_EQ(ReadFile(host_.output).size(), 46u + 5 * 12);
}

// A FLAC output stopped with Ignore is a finished FLAC of the groups written; with Abort it goes.
TEST_F(ConversionRun, FlacOutputKeptOnIgnoreGoesOnAbort) {
    WriteFile(host_.input, RandomGroups(20'000));
    host_.output = dir_.Path("take.flac");
    // The output's name asks for FLAC.
    const auto run = [&] {
        TConversionRun conversion(host_, host_.Request());
        host_.run = &conversion;
        const TRunResult result = conversion.Execute();
        host_.run = nullptr;
        return std::pair{result, conversion.GroupsWritten()};
    };
    host_.stopAfterGroups = 7'000;
    host_.stopAnswers = {TStopAnswer::Ignore};
    const auto [kept, groups] = run();
    EXPECT_EQ(kept, TRunResult::Stopped);
    EXPECT_EQ(ShellOutput("flac -s -t '" + host_.output + "' 2>&1"), "");
    EXPECT_EQ(ShellOutput("metaflac --show-total-samples '" + host_.output + "'"),
              std::to_string(2 * groups) + "\n");

    host_.confirmAnswers = {true};
    host_.stopAfterGroups = 7'000;
    host_.stopAnswers = {TStopAnswer::Abort};
    EXPECT_EQ(run().first, TRunResult::Aborted);
    EXPECT_FALSE(Exists(host_.output));
}

TEST_F(ConversionRun, StopAnswers) {
    const Bytes input = RandomGroups(50);
    WriteFile(host_.input, input);
    host_.formatIndex = 0;
    const Bytes complete = Expected(input, true, 0, 48000, 50);

    // Ignore after 10 groups: the group under way is written, and the header describes what was kept.
    host_.stopAfterGroups = 10;
    host_.stopAnswers = {TStopAnswer::Ignore};
    EXPECT_EQ(Run(), TRunResult::Stopped);
    Bytes partial = ReadFile(host_.output);
    ASSERT_EQ(partial.size(), 46u + 80);
    EXPECT_EQ(U32At(partial, 42), 80u);
    EXPECT_EQ(U32At(partial, 4), 80u + 38);
    EXPECT_TRUE(std::equal(partial.begin() + 46, partial.end(), complete.begin() + 46));
    EXPECT_EQ(host_.questions.back(), msg::kStopQuestion);

    // Abort: no file is left.
    host_.confirmAnswers = {true};
    host_.stopAfterGroups = 10;
    host_.stopAnswers = {TStopAnswer::Abort};
    EXPECT_EQ(Run(), TRunResult::Aborted);
    EXPECT_FALSE(Exists(host_.output));

    // Retry, and a question closed without an answer: nothing is lost, the header is as built.
    for (TStopAnswer answer : {TStopAnswer::Retry, TStopAnswer::None}) {
        host_.confirmAnswers = {true};
        host_.stopAfterGroups = 10;
        host_.stopAnswers = {answer};
        EXPECT_EQ(Run(), TRunResult::Completed);
        EXPECT_EQ(ReadFile(host_.output), complete);
    }
}

TEST_F(ConversionRun, FallbackTo16BitsForTooManyGroups) {
    // 357,913,877 groups, the first count that does not fit at 24 bits, in a sparse file.
    MakeSparseFile(host_.input, 357'913'877LL * 10);

    host_.confirmAnswers = {false};
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.questions, std::vector<std::string>{msg::kFallbackTo16});
    EXPECT_EQ(host_.formatIndex, 1);
    EXPECT_FALSE(Exists(host_.output)) << "a run refused before the output is created creates none";

    // Nor does it empty a file the user agreed to overwrite.
    WriteFile(host_.output, Bytes{7, 7});
    host_.questions.clear();
    host_.confirmAnswers = {true, false};
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.questions, (std::vector<std::string>{msg::kOverwrite, msg::kFallbackTo16}));
    EXPECT_EQ(ReadFile(host_.output), (Bytes{7, 7}));

    // Yes: the run goes on at 16 bits; stopped with Ignore right away, so nothing large is written.
    host_.questions.clear();
    host_.confirmAnswers = {true, true};
    host_.stopAfterGroups = 0;
    host_.stopAnswers = {TStopAnswer::Ignore};
    EXPECT_EQ(Run(), TRunResult::Stopped);
    EXPECT_EQ(host_.formatIndex, 0);
    EXPECT_EQ(groupCount_, 357'913'877);
    const Bytes out = ReadFile(host_.output);
    ASSERT_EQ(out.size(), 46u + 8);
    EXPECT_EQ(U16At(out, 34), 16) << "bits per sample";
    EXPECT_EQ(U32At(out, 42), 8u);

    // Just below the limit no question is asked.
    MakeSparseFile(host_.input, 357'913'876LL * 10 + 9);
    host_.questions.clear();
    host_.formatIndex = 1;
    host_.confirmAnswers = {true};
    host_.stopAfterGroups = 0;
    host_.stopAnswers = {TStopAnswer::Abort};
    EXPECT_EQ(Run(), TRunResult::Aborted);
    EXPECT_EQ(host_.questions, (std::vector<std::string>{msg::kOverwrite, msg::kStopQuestion}));
}

TEST_F(ConversionRun, TooManyGroupsEvenFor16Bits) {
    MakeSparseFile(host_.input, 536'870'908LL * 10);
    host_.formatIndex = 0;
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.errors, std::vector<std::string>{msg::kTooManyFor16});
    EXPECT_FALSE(Exists(host_.output));

    // After a fallback from 24 bits the same limit holds.
    host_.errors.clear();
    host_.formatIndex = 1;
    host_.confirmAnswers = {true};
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.errors, std::vector<std::string>{msg::kTooManyFor16});

    // 536,870,907 groups still fit.
    MakeSparseFile(host_.input, 536'870'907LL * 10);
    host_.errors.clear();
    host_.formatIndex = 0;
    host_.confirmAnswers = {true};
    host_.stopAfterGroups = 0;
    host_.stopAnswers = {TStopAnswer::Abort};
    EXPECT_EQ(Run(), TRunResult::Aborted);
    EXPECT_TRUE(host_.errors.empty());
}

// An output that may become RF64 has no limit: no fallback question, no refusal at 16 bits. It has the
// writer's layout, and a stopped run's header describes the one group it holds.
TEST_F(ConversionRun, Rf64OutputsHaveNoLimit) {
    host_.rf64 = true;
    for (const auto& [groups, formatIndex] : {std::pair{536'870'908LL, 0}, {357'913'877LL, 1}}) {
        MakeSparseFile(host_.input, groups * 10);
        host_.formatIndex = formatIndex;
        host_.questions.clear();
        host_.confirmAnswers = {true};
        host_.stopAfterGroups = 1;
        host_.stopAnswers = {TStopAnswer::Ignore};
        EXPECT_EQ(Run(), TRunResult::Stopped);
        EXPECT_TRUE(host_.errors.empty());
        EXPECT_EQ(host_.questions.back(), msg::kStopQuestion);
        EXPECT_EQ(std::count(host_.questions.begin(), host_.questions.end(), msg::kFallbackTo16), 0);
        const TAudioFormat format{2, 48000, uint16_t(formatIndex ? 20 : 16), uint16_t(formatIndex ? 3 : 2)};
        Bytes expected = BuildWaveWriterHeader(format, 2 * format.BlockAlign());
        expected.resize(expected.size() + 2 * format.BlockAlign()); // the sparse input's zeros
        EXPECT_EQ(ReadFile(host_.output), expected) << groups;
    }
}

// The header is written with both sizes 0 and gets them only when the output stays: what the output
// holds is what it says, however the input changes during the run.
TEST_F(ConversionRun, TheHeaderDescribesExactlyWhatWasWritten) {
    const Bytes input = RandomGroups(5000);
    host_.formatIndex = 0;
    const auto sizesNow = [this] {
        const Bytes out = ReadFile(host_.output);
        return std::pair{U32At(out, 4), U32At(out, 42)};
    };

    // Growing: exactly the groups counted at the start are converted. Until the end the sizes say 0.
    WriteFile(host_.input, input);
    std::pair<uint32_t, uint32_t> seenDuringRun{1, 1};
    host_.onPump = [&](int64_t pumps) {
        if (pumps == 9000) {
            std::ofstream(host_.input, std::ios::app | std::ios::binary) << std::string(100'000, 'x');
            seenDuringRun = sizesNow(); // the first 32 KiB reached the disk by now
        }
    };
    EXPECT_EQ(Run(), TRunResult::Completed);
    EXPECT_EQ(seenDuringRun, (std::pair<uint32_t, uint32_t>{0, 0}));
    EXPECT_EQ(ReadFile(host_.output), Expected(input, true, 0, 48000, 5000));
    EXPECT_TRUE(host_.notes.empty());

    // Shrinking: what was converted stays, described by its header, and the user is told.
    WriteFile(host_.input, input);
    host_.confirmAnswers = {true};
    host_.pumps = 0;
    host_.onPump = [&](int64_t pumps) {
        if (pumps == 2000) {
            ASSERT_EQ(::truncate(host_.input.c_str(), 40'000), 0);
        }
    };
    EXPECT_EQ(Run(), TRunResult::Completed);
    const Bytes out = ReadFile(host_.output);
    const size_t groups = (out.size() - 46) / 8;
    EXPECT_GE(groups, 1000u);
    EXPECT_LT(groups, 5000u);
    EXPECT_EQ(sizesNow(), (std::pair<uint32_t, uint32_t>(groups * 8 + 38, groups * 8)));
    EXPECT_EQ(host_.notes, std::vector<std::string>{msg::kInputShrank});
}

// A WAVE file of millions of empty chunks takes long to walk: the scan keeps the host live, shows STOP!,
// and a stop there ends the run before any output exists.
TEST_F(ConversionRun, ALongScanCanBeStopped) {
    host_.input = dir_.Path("empty-chunks.wav");
    host_.output = dir_.Path("out.wav");
    WriteFile(host_.input,
              RiffStart() + Bytes(8 << 20, 0)); // "RIFF" size "WAVE", then a million 8-byte chunks
    host_.onPump = [&](int64_t pumps) {
        if (pumps == 100'000)
            host_.run->StopQuestion();
    };
    host_.stopAnswers = {TStopAnswer::Ignore};
    EXPECT_EQ(Run(), TRunResult::Aborted);
    EXPECT_EQ(host_.questions, std::vector<std::string>{msg::kStopQuestion});
    EXPECT_EQ(host_.busyLog, (std::vector<std::string>{"busy", "stop shown", "stop hidden", "idle"}));
    EXPECT_FALSE(Exists(host_.output));
}

// The output name checked free at the start may be taken by the time the output is created: that file is
// not emptied unasked.
TEST_F(ConversionRun, AFileThatAppearsMeanwhileIsPutToTheOverwriteQuestion) {
    WriteFile(host_.input, MakeWave(RandomGroups(10)));
    host_.onPump = [&](int64_t) {
        if (!Exists(host_.output))
            WriteFile(host_.output, Bytes{5, 5, 5});
    };
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.questions, std::vector<std::string>{msg::kOverwrite});
    EXPECT_EQ(ReadFile(host_.output), (Bytes{5, 5, 5}));
}

TEST_F(ConversionRun, OutputThatIsTheInputUnderAnotherName) {
    const Bytes input = RandomGroups(20);
    WriteFile(host_.input, input);
    ASSERT_EQ(::link(host_.input.c_str(), dir_.Path("hard.wav").c_str()), 0);
    ASSERT_EQ(::symlink(host_.input.c_str(), dir_.Path("soft.wav").c_str()), 0);
    for (const std::string& other : {dir_.Path("hard.wav"), dir_.Path("soft.wav"), dir_.Path("./take.raw")}) {
        host_.output = other;
        host_.errors.clear();
        host_.confirmAnswers = {true};
        EXPECT_EQ(Run(), TRunResult::Refused) << other;
        EXPECT_EQ(host_.errors,
                  (std::vector<std::string>{msg::kSharingViolation, "Unable to create output file"}));
        EXPECT_EQ(ReadFile(host_.input), input);
    }
}

TEST_F(ConversionRun, ReadAndWriteErrorsDeleteTheIncompleteOutput) {
    const Bytes input = RandomGroups(20000); // 200,000 bytes: several buffers each way
    WriteFile(host_.input, input);
    {
        SysCallSpy failing;
        SysCallSpy::failWritesAfter = 1;
        EXPECT_EQ(Run(), TRunResult::Failed);
    }
    EXPECT_EQ(host_.errors, std::vector<std::string>{msg::kWriteFailed});
    EXPECT_FALSE(Exists(host_.output));

    host_.errors.clear();
    {
        SysCallSpy failing;
        SysCallSpy::failReadsAfter = 1;
        EXPECT_EQ(Run(), TRunResult::Failed);
    }
    EXPECT_EQ(host_.errors, std::vector<std::string>{msg::kReadFailed});
    EXPECT_FALSE(Exists(host_.output));
    EXPECT_EQ(ReadFile(host_.input), input);
}

TEST_F(ConversionRun, UnopenableFilesEndTheRunWithTwoMessages) {
    WriteFile(host_.input, RandomGroups(3));
    host_.output = dir_.Path("missing/take.wav");
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.errors, (std::vector<std::string>{msg::kPathNotFound, "Unable to create output file"}));

    host_.errors.clear();
    host_.output = dir_.Path("take.wav");
    host_.input = "/dev/zero";
    EXPECT_EQ(Run(), TRunResult::Refused);
    EXPECT_EQ(host_.errors, (std::vector<std::string>{msg::kInvalidFile, msg::kCannotOpenInput}));
    EXPECT_FALSE(Exists(host_.output));
}

} // namespace

// Both hosts go through the entry point, so a folder that holds no disc is one thing for both: no input,
// with the disc reader's reason beside it.
TEST_F(ConversionRun, AFolderWithoutADiscIsNoInput) {
    ASSERT_EQ(::mkdir(dir_.Path("Music").c_str(), 0755), 0);
    struct Case {
        std::string input;
        std::vector<std::string> causes;
    } cases[] = {{dir_.Path("Music"), {msg::kNoDisc}}, {dir_.Path("gone.raw"), {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        FakeHost host;
        TRunRequest request;
        request.input = c.input;
        request.output = dir_.Path("out.wav");
        host.input = request.input;
        host.output = request.output;
        EXPECT_EQ(MakeRun(host, request)->Execute(), TRunResult::Refused);
        EXPECT_EQ(host.errors, std::vector<std::string>{msg::kNoInput});
        EXPECT_EQ(host.causes, c.causes);
        EXPECT_FALSE(Exists(request.output));
    }
}
