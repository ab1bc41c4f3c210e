#include "FakeHost.h"
#include "LpcmEncoder.h"
#include "ProgramStreamWriter.h"
#include "TestFiles.h"

#include "output/AudioSink.h"
#include "run/StreamRun.h"
#include "texts/Messages.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// What a run did with its sink.
struct SinkLog {
    std::vector<std::string> calls; // begin, write (once for a run of writes), finish, abandon
    TAudioFormat format;
    Bytes samples;
    int64_t finishedBytes = -1;
};

class RecordingSink : public TAudioSink {
public:
    RecordingSink(SinkLog& log, bool writesFail) : log_(log), writesFail_(writesFail) {}
    int64_t FrameLimit(const TAudioFormat&) const override { return kNoFrameLimit; }
    bool Begin(TMMIOFile&, const TAudioFormat& format) override {
        log_.calls.push_back("begin");
        log_.format = format;
        return true;
    }
    bool Write(const uint8_t* bytes, int32_t count) override {
        if (log_.calls.back() != "write")
            log_.calls.push_back("write");
        log_.samples.insert(log_.samples.end(), bytes, bytes + count);
        return !writesFail_;
    }
    bool Finish(int64_t dataBytes) override {
        log_.calls.push_back("finish");
        log_.finishedBytes = dataBytes;
        return true;
    }
    void Abandon() override { log_.calls.push_back("abandon"); }

private:
    SinkLog& log_;
    bool writesFail_;
};

} // namespace

// A stream run begins its sink with the track's format, hands it every sample, and finishes it with what
// it wrote; an output that goes is abandoned before its file is deleted.
TEST(AudioSink, StreamRunLifeCycle) {
    const std::vector<int32_t> samples = RandomSamples(6 * 20000, 24);
    ProgramStreamWriter writer;
    const Bytes audio = EncodeLpcm(samples, 24, 6);
    for (size_t at = 0; at < audio.size(); at += 2004)
        writer.Pack().Lpcm(0xA0, 24, 48000, 6,
                           Bytes(audio.begin() + static_cast<long>(at),
                                 audio.begin() + static_cast<long>(std::min(at + 2004, audio.size()))));
    const Bytes stream = writer.End().Result();
    const Bytes expected = ExpectedOutput(samples, 24, false);

    struct Case {
        const char* name;
        int64_t stopAtProgress; // -1: not stopped
        TStopAnswer answer;
        bool writesFail;
        std::vector<std::string> calls;
        bool kept;
    } cases[] = {
        {"completed", -1, TStopAnswer::None, false, {"begin", "write", "finish"}, true},
        {"stopped, kept", 1, TStopAnswer::Ignore, false, {"begin", "write", "finish"}, true},
        {"stopped, deleted", 1, TStopAnswer::Abort, false, {"begin", "write", "abandon"}, false},
        {"write failed", -1, TStopAnswer::None, true, {"begin", "write", "abandon"}, false},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        host.input = dir.Path("in.vob");
        host.output = dir.Path("out.wav");
        WriteFile(host.input, stream);
        SinkLog log;
        TRunOptions options = host.Options();
        options.makeSink = [&log, &c] { return std::make_unique<RecordingSink>(log, c.writesFail); };
        TStreamRun run(host, host.Request(options));
        host.stopAnswers = {c.answer};
        host.onPump = [&](int64_t) {
            if (c.stopAtProgress >= 0 && host.gaugeProgress >= c.stopAtProgress && run.Converting() &&
                log.samples.size() > 0 && host.stopAnswers.size() == 1)
                run.StopQuestion();
        };
        run.ExecuteFile(1);

        EXPECT_EQ(log.calls, c.calls);
        EXPECT_EQ(log.format.channels, 6);
        EXPECT_EQ(log.format.validBits, 24);
        EXPECT_EQ(log.format.channelMask, 0x3Fu);
        EXPECT_EQ(Exists(host.output), c.kept);
        ::unlink(host.output.c_str());
        if (c.kept) {
            EXPECT_EQ(log.finishedBytes, static_cast<int64_t>(log.samples.size()));
            EXPECT_EQ(log.samples.size() % 18, 0u);
            EXPECT_TRUE(std::equal(log.samples.begin(), log.samples.end(), expected.begin()));
            if (c.stopAtProgress >= 0) {
                EXPECT_LT(log.samples.size(), expected.size());
            }
        }
        if (c.stopAtProgress < 0 && c.kept) {
            EXPECT_EQ(log.samples, expected);
        }
        if (c.writesFail) {
            EXPECT_EQ(host.errors, std::vector<std::string>{msg::kWriteFailed});
        }
    }
}
