// Every output format of the table, written by a real run of a program stream and read back by a reader
// that is not ours: every format × 1, 2 and 6 channels × 16, 20 and 24 bits × a finished run, one stopped
// with Ignore (a valid shorter file) and one stopped with Abort (no file).
#include "FakeHost.h"
#include "LpcmEncoder.h"
#include "ProgramStreamWriter.h"
#include "TestFiles.h"

#include "output/OutputFormat.h"
#include "run/StreamRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The samples as 32-bit values, left-justified, the way FFmpeg gives them.
std::vector<int32_t> LeftJustified(const Bytes& bytes, size_t width) {
    std::vector<int32_t> samples;
    for (size_t i = 0; i + width <= bytes.size(); i += width) {
        uint32_t value = 0;
        for (size_t b = 0; b < width; ++b)
            value |= uint32_t{bytes[i + b]} << (8 * (b + 4 - width));
        samples.push_back(static_cast<int32_t>(value));
    }
    return samples;
}

// What the format's own tool says of a file it verifies; empty when it is content.
std::string VerifiedByItsOwnTool(const std::string& id, const std::string& path) {
    if (id == std::string("flac"))
        return ShellOutput("flac -s -t '" + path + "' 2>&1");
    if (id == std::string("wv"))
        return ShellOutput("wvunpack -q -v '" + path + "' 2>&1");
    return {};
}

Bytes Stream(const std::vector<int32_t>& samples, int bits, int channels) {
    ProgramStreamWriter writer;
    const Bytes audio = EncodeLpcm(samples, bits, channels);
    for (size_t at = 0; at < audio.size(); at += 2000)
        writer.Pack().Lpcm(0xA0, bits, 48000, channels,
                           Bytes(audio.begin() + static_cast<long>(at),
                                 audio.begin() + static_cast<long>(std::min(at + 2000, audio.size()))));
    return writer.End().Result();
}

} // namespace

TEST(OutputFormats, EveryFormatChannelsBitsAndEnding) {
    TempDir dir;
    enum class Ending { Finish, Ignore, Abort };
    for (const TOutputFormatRow* format : OutputFormats())
        for (const int channels : {1, 2, 6})
            for (const int bits : {16, 20, 24}) {
                const std::vector<int32_t> samples =
                    RandomSamples(static_cast<size_t>(channels) * 24000, bits);
                const Bytes stream = Stream(samples, bits, channels);
                const size_t width = bits == 16 ? 2 : 3;
                const std::vector<int32_t> expected =
                    LeftJustified(ExpectedOutput(samples, bits, false), width);
                for (const Ending ending : {Ending::Finish, Ending::Ignore, Ending::Abort}) {
                    SCOPED_TRACE(std::string(format->name) + ", " + std::to_string(channels) + " channels, " +
                                 std::to_string(bits) + " bits, ending " + std::to_string(int(ending)));
                    FakeHost host;
                    host.input = dir.Path("in.vob");
                    host.output = dir.Path(std::string("out") + format->extension);
                    WriteFile(host.input, stream);
                    ::unlink(host.output.c_str());
                    TStreamRun run(host, host.Request());
                    host.stopAnswers = {ending == Ending::Ignore ? TStopAnswer::Ignore : TStopAnswer::Abort};
                    host.onPump = [&](int64_t) {
                        if (ending != Ending::Finish && run.Converting() && host.gaugeProgress > 20000 &&
                            host.stopAnswers.size() == 1)
                            run.StopQuestion();
                    };
                    const TRunResult result = run.ExecuteFile(1);
                    if (ending == Ending::Abort) {
                        EXPECT_EQ(result, TRunResult::Aborted);
                        EXPECT_FALSE(Exists(host.output));
                        continue;
                    }
                    ASSERT_EQ(result, ending == Ending::Finish ? TRunResult::Completed : TRunResult::Stopped);
                    EXPECT_EQ(VerifiedByItsOwnTool(format->id, host.output), "");
                    const std::vector<int32_t> decoded = DecodeWithFfmpeg("-i '" + host.output + "'");
                    ASSERT_EQ(decoded.size() % static_cast<size_t>(channels), 0u);
                    if (ending == Ending::Finish) {
                        EXPECT_EQ(decoded, expected);
                    } else {
                        EXPECT_GT(decoded.size(), 0u);
                        EXPECT_LT(decoded.size(), expected.size());
                        EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), expected.begin()));
                    }
                }
            }
}

// Audio that carries pre-emphasis says so in every output that has room for it: FLAC's comment and its
// CUESHEET's flag, WAVE's INFO comment, WavPack's tag.
TEST(OutputFormats, PreEmphasisIsWrittenDown) {
    TempDir dir;
    const std::vector<int32_t> samples = RandomSamples(2 * 4800, 16);
    ProgramStreamWriter writer;
    const Bytes audio = EncodeLpcm(samples, 16, 2);
    for (size_t at = 0; at < audio.size(); at += 2000)
        writer.Pack().Lpcm(0xA0, 16, 48000, 2,
                           Bytes(audio.begin() + static_cast<long>(at),
                                 audio.begin() + static_cast<long>(std::min(at + 2000, audio.size()))),
                           true);
    WriteFile(dir.Path("in.vob"), writer.End().Result());
    const struct {
        const char* name;
        std::string command; // what shows the mark, fed the file's name
    } cases[] = {
        {"out.flac", "metaflac --show-tag=PRE_EMPHASIS --export-cuesheet-to=- "},
        {"out.wav", "grep -a -o PRE_EMPHASIS=1 "},
        {"out.wv", "wvtag -l "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHost host;
        host.input = dir.Path("in.vob");
        host.output = dir.Path(c.name);
        TStreamRun run(host, host.Request());
        ASSERT_EQ(run.ExecuteFile(1), TRunResult::Completed);
        EXPECT_NE(ShellOutput(c.command + "'" + host.output + "' 2>&1").find("PRE_EMPHASIS"),
                  std::string::npos);
    }
}
