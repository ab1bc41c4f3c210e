// oxlip-convert as a user runs it, with its outputs read back by libsndfile.
#include "CliProcess.h"
#include "SampleEncoder.h"
#include "TestFiles.h"
#include "dvd/ProgramStreamWriter.h"

#include "texts/CliTexts.h"
#include "texts/Messages.h"
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>
#include <sndfile.h>

namespace {

std::vector<int32_t> RandomSamples(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> twentyBits(-(1 << 19), (1 << 19) - 1);
    std::vector<int32_t> samples(count);
    for (auto& s : samples)
        s = twentyBits(random);
    // The extremes and zero, in both channels.
    samples[0] = -(1 << 19);
    samples[1] = (1 << 19) - 1;
    samples[2] = 0;
    samples[3] = -1;
    return samples;
}

struct Decoded {
    int sampleRate = 0;
    int channels = 0;
    int format = 0;
    std::vector<int> samples; // left-justified 32-bit, as libsndfile gives them
};

Decoded ReadWithLibsndfile(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    Decoded decoded;
    if (!file)
        return decoded;
    decoded.sampleRate = info.samplerate;
    decoded.channels = info.channels;
    decoded.format = info.format;
    decoded.samples.resize(static_cast<size_t>(info.frames * info.channels));
    EXPECT_EQ(sf_readf_int(file, decoded.samples.data(), info.frames), info.frames);
    sf_close(file);
    return decoded;
}

class ConvertTool : public ::testing::Test {
protected:
    CliOutcome Convert(const std::vector<std::string>& args) {
        CliRun run;
        run.args = args;
        return RunCli(run);
    }
    TempDir dir_;
};

TEST_F(ConvertTool, BothInputKindsRoundTripThroughLibsndfileAtBothResolutions) {
    const std::vector<int32_t> samples = RandomSamples(40000, 7);
    const Bytes demuxed = EncodeDemuxed(samples);
    WriteFile(dir_.Path("take1.raw"), demuxed);
    WriteFile(dir_.Path("take2.wav"), MakeWave(SwapBytePairs(demuxed)));

    // Several inputs in one call, each with its proposed name.
    CliOutcome result = Convert({"-q", dir_.Path("take1.raw"), dir_.Path("take2.wav")});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // --rf64 on outputs that fit 4 GiB: the writer's RIFF layout, a JUNK chunk holding the place of ds64.
    WriteFile(dir_.Path("big1.raw"), demuxed);
    WriteFile(dir_.Path("big2.wav"), MakeWave(SwapBytePairs(demuxed)));
    result = Convert({"-q", "--rf64", dir_.Path("big1.raw"), dir_.Path("big2.wav")});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    // --extensible: the plain file with WAVE_FORMAT_EXTENSIBLE's longer format chunk.
    result = Convert({"-q", "--extensible", "-o", dir_.Path("ext1.wav"), dir_.Path("take1.raw")});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    result =
        Convert({"-q", "-b", "16", "-r", "$AC44", "-o", dir_.Path("take1-16.wav"), dir_.Path("take1.raw")});
    ASSERT_EQ(result.exitStatus, 0) << result.err;

    // The writer's 20 valid bits are WAVE_FORMAT_EXTENSIBLE: 104 bytes before the samples.
    for (const auto& [name, header] : std::vector<std::pair<std::string, size_t>>{{"take1.wav", 46},
                                                                                  {"take2_new.wav", 46},
                                                                                  {"big1.wav", 104},
                                                                                  {"big2_new.wav", 104},
                                                                                  {"ext1.wav", 68}}) {
        EXPECT_EQ(ReadFile(dir_.Path(name)).size(), header + samples.size() * 3) << name;
        const Decoded out = ReadWithLibsndfile(dir_.Path(name));
        EXPECT_EQ(out.format, (header == 46 ? SF_FORMAT_WAV : SF_FORMAT_WAVEX) | SF_FORMAT_PCM_24) << name;
        EXPECT_EQ(out.sampleRate, 48000);
        EXPECT_EQ(out.channels, 2);
        ASSERT_EQ(out.samples.size(), samples.size()) << name;
        for (size_t i = 0; i < samples.size(); ++i)
            ASSERT_EQ(out.samples[i], samples[i] * 4096) << name << " sample " << i;
    }

    const Decoded out16 = ReadWithLibsndfile(dir_.Path("take1-16.wav"));
    EXPECT_EQ(out16.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(out16.sampleRate, 44100);
    ASSERT_EQ(out16.samples.size(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(out16.samples[i], (samples[i] >> 4) * 65536)
            << "sample " << i << ": no rounding, no dither";

    // The header says 20 valid bits in 3-byte blocks.
    const Bytes header = ReadFile(dir_.Path("take1.wav"));
    EXPECT_EQ(U16At(header, 32), 6);
    EXPECT_EQ(U16At(header, 34), 20);
}

// -b 16 --dither: the same file from every run; each sample within 1.5 LSB of its 20-bit value, the
// errors averaging zero where truncation's average -15/32 LSB.
// FLAC of raw and swapped WAVE input holds the samples of the WAVE outputs: 20 bits kept as 20, 16 as
// reduced (with dither), named .flac by --flac, tagged, and whole by flac's own test.
TEST_F(ConvertTool, FlacOutputsHoldTheWaveOutputsSamples) {
    const Bytes demuxed = RandomGroups(30'000);
    WriteFile(dir_.Path("take1.raw"), demuxed);
    WriteFile(dir_.Path("take2.wav"), MakeWave(SwapBytePairs(demuxed)));
    const std::vector<std::string> inputs = {dir_.Path("take1.raw"), dir_.Path("take2.wav")};
    ASSERT_EQ(Convert({"-q", inputs[0], inputs[1]}).exitStatus, 0);
    ASSERT_EQ(Convert({"-q", "--flac", "--flac-level", "8", "--tag",
                       "ARTIST=\xC3\x9C"
                       "ber",
                       inputs[0], inputs[1]})
                  .exitStatus,
              0);
    for (const std::string dither : {"", "--dither"}) {
        const std::string stem = dir_.Path(dither.empty() ? "take1-16" : "take1-16-dither");
        for (const char* extension : {".wav", ".flac"}) {
            std::vector<std::string> args = {"-q", "-b", "16", "-o", stem + extension, inputs[0]};
            if (!dither.empty())
                args.push_back(dither);
            ASSERT_EQ(Convert(args).exitStatus, 0);
        }
    }
    const struct {
        std::string wave, flac, bits;
    } pairs[] = {{"take1.wav", "take1.flac", "20"},
                 {"take2_new.wav", "take2.flac", "20"},
                 {"take1-16.wav", "take1-16.flac", "16"},
                 {"take1-16-dither.wav", "take1-16-dither.flac", "16"}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.flac);
        const std::string flac = dir_.Path(pair.flac);
        EXPECT_EQ(ShellOutput("flac -s -t '" + flac + "' 2>&1"), "");
        EXPECT_EQ(ShellOutput("metaflac --show-bps '" + flac + "'"), pair.bits + "\n");
        const Decoded wave = ReadWithLibsndfile(dir_.Path(pair.wave));
        EXPECT_EQ(ShellOutput("metaflac --show-sample-rate --show-channels '" + flac + "'"),
                  std::to_string(wave.sampleRate) + "\n2\n");
        // FFmpeg, as libsndfile reads no 20-bit FLAC.
        EXPECT_EQ(DecodeWithFfmpeg("-i '" + flac + "'"), wave.samples);
    }
    EXPECT_EQ(ShellOutput("metaflac --export-tags-to=- '" + dir_.Path("take2.flac") + "'"),
              "ENCODER=Oxlip " OXLIP_VERSION "\nARTIST=\xC3\x9C"
              "ber\n");
}

TEST_F(ConvertTool, DitherIsRepeatableBoundedAndUnbiased) {
    const std::vector<int32_t> samples = RandomSamples(200'000, 5);
    WriteFile(dir_.Path("take.raw"), EncodeDemuxed(samples));
    for (const char* name : {"a.wav", "b.wav"})
        ASSERT_EQ(
            Convert({"-q", "-b", "16", "--dither", "-o", dir_.Path(name), dir_.Path("take.raw")}).exitStatus,
            0);
    EXPECT_EQ(ReadFile(dir_.Path("a.wav")), ReadFile(dir_.Path("b.wav")));
    const Decoded out = ReadWithLibsndfile(dir_.Path("a.wav"));
    ASSERT_EQ(out.samples.size(), samples.size());
    double errorSum = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const int error = out.samples[i] / 4096 - samples[i]; // in 20-bit units, 16 to the 16-bit LSB
        ASSERT_LE(std::abs(error), 24) << "sample " << i;
        errorSum += error;
    }
    EXPECT_NEAR(errorSum / static_cast<double>(samples.size()) / 16, 0.0, 0.02) << "mean error in LSB";
}

TEST_F(ConvertTool, QuestionsWithoutATerminalAreAnsweredNo) {
    WriteFile(dir_.Path("a.raw"), RandomGroups(10));
    WriteFile(dir_.Path("a.wav"), Bytes{1, 2, 3});
    CliOutcome result = Convert({dir_.Path("a.raw")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find(msg::kOverwrite), std::string::npos);
    EXPECT_NE(result.err.find("-y"), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(dir_.Path("a.wav")), (Bytes{1, 2, 3}));

    result = Convert({"-y", "-q", dir_.Path("a.raw")});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(ReadFile(dir_.Path("a.wav")).size(), 46u + 10 * 12);
}

TEST_F(ConvertTool, FailuresAndUsageErrors) {
    WriteFile(dir_.Path("good.raw"), RandomGroups(3));
    const std::string good = dir_.Path("good.raw");
    CliOutcome result = Convert({"-q", dir_.Path("missing.raw"), dir_.Path("good.raw")});
    EXPECT_EQ(result.exitStatus, 1) << "one input failed";
    EXPECT_NE(result.err.find("missing.raw: Input file does not exist"), std::string::npos) << result.err;
    EXPECT_TRUE(Exists(dir_.Path("good.wav"))) << "the other input is still converted";

    struct Usage {
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Usage> usageErrors = {
        {{}, "no input"},
        {{"-b", "20", "x.raw"}, "-b takes 16 or 24"},
        {{"-r", "48000 ", "x.raw"}, msg::kInvalidRate},
        {{"-r", "abc", "x.raw"}, msg::kInvalidRate},
        {{"-o", "out.wav", "a.raw", "b.raw"}, "-o names one output"},
        {{"--frobnicate", "x.raw"}, "unknown option"},
        {{"x.raw", "-b"}, "needs a value"},
        {{"--dither", "x.raw"}, msg::kDitherNeeds16},
        {{"--track", "0", "x.vob"}, msg::NotAPositiveNumber("--track", "0")},
        {{"--track", "x.vob"}, msg::NotAPositiveNumber("--track", "x.vob")},
        {{"--title", "99999999999", "disc"}, msg::NotAPositiveNumber("--title", "99999999999")},
        {{"disc", "--title"}, "needs a value"},
        {{"--chapters", "5-3", "disc"}, msg::BadChapterRange("5-3")},
        {{"--chapters", "0", "disc"}, msg::BadChapterRange("0")},
        {{"--chapters=x", "disc"}, msg::BadChapterRange("x")},
        {{"--chapters=", "disc"}, msg::BadChapterRange("")},
        {{"--title=", "disc"}, msg::NotAPositiveNumber("--title", "")},
        {{"--rf64=yes", "x.raw"}, "option --rf64 takes no value"},
        {{"--flac", "--tag", "ARTIST", good}, msg::BadTag("ARTIST")},
        {{"--flac", "--tag", "=x", good}, msg::BadTag("=x")},
        {{"--flac", "--tag", "K\xC3\x9CNSTLER=x", good}, msg::BadTag("K\xC3\x9CNSTLER=x")},
        {{"--flac-level", "9", "--flac", good}, msg::BadFlacLevel("9")},
        {{"--flac", "-o", dir_.Path("good.wav"), good}, msg::FormatNeedsName("--flac", "FLAC", ".flac")},
        {{"--format", "wav", "-o", dir_.Path("good.flac"), good},
         msg::FormatNeedsName("--format wav", "WAVE", ".wav")},
        {{"--format", "ogg", good}, cli_text::UnknownFormat("ogg")},
        {{"--format", "wav", "--flac", good}, cli_text::FormatsDisagree("--format wav", "--flac")},
        {{"--flac-level", "5", good}, msg::kFlacOptionsOnly},
        {{"--tag", "A=\xff\xfe", good}, msg::BadTag("A=\xff\xfe")},
        {{"--json", good}, cli_text::kJsonNeedsList},
    };
    for (const Usage& usage : usageErrors) {
        result = Convert(usage.args);
        EXPECT_EQ(result.exitStatus, 2) << usage.says;
        EXPECT_NE(result.err.find(usage.says), std::string::npos) << result.err;
    }
    EXPECT_FALSE(Exists(dir_.Path("good.flac"))) << "nothing converted after a usage error";
    EXPECT_EQ(Convert({"--help"}).exitStatus, 0);
    EXPECT_EQ(Convert({"--version"}).exitStatus, 0);
}

} // namespace

namespace {

// One call never overwrites its own inputs, nor writes one output twice; the other inputs still convert.
TEST_F(ConvertTool, OneCallNeverEatsItsOwnInputs) {
    const Bytes ripped = MakeWave(RandomGroups(10));
    WriteFile(dir_.Path("take.raw"), RandomGroups(10));
    WriteFile(dir_.Path("take.wav"), ripped);
    CliOutcome result = Convert({"-y", "-q", dir_.Path("take.raw"), dir_.Path("take.wav")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find(msg::kOutputIsAnInput), std::string::npos) << result.err;
    EXPECT_EQ(ReadFile(dir_.Path("take.wav")), ripped);
    EXPECT_TRUE(Exists(dir_.Path("take_new.wav"))) << "the other input converts";

    // Two inputs with one output: the earlier converts, the later is refused, even with -y.
    WriteFile(dir_.Path("a.raw"), RandomGroups(3));
    WriteFile(dir_.Path("a.pcm"), RandomGroups(4));
    result = Convert({"-y", "-q", dir_.Path("a.raw"), dir_.Path("a.pcm")});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.err,
              Said(dir_.Path("a.pcm"), {msg::OutputOfEarlierInput(dir_.Path("a.wav"), dir_.Path("a.raw"))}));
    EXPECT_EQ(ReadFile(dir_.Path("a.wav")).size(), 46u + 3 * 12);
}

// What the tool says is safe for a terminal and gives the system's reason where the file layer has no
// message of its own.
TEST_F(ConvertTool, MessagesAreSafeForTheTerminalAndSayWhy) {
    CliOutcome result = Convert({"-q", dir_.Path("evil\x1b]0;owned\x07\x1b[2J.raw")});
    EXPECT_EQ(result.err.find('\x1b'), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("evil\\x1b]0;owned\\x07"), std::string::npos) << result.err;

    result = Convert({"-q", dir_.Path(std::string(300, 'n') + ".raw")});
    EXPECT_NE(result.err.find(std::string(msg::kCannotOpenInput) + "\nFile name too long"), std::string::npos)
        << result.err;

    // An existing input in a folder that may not be searched: not "does not exist".
    ASSERT_EQ(::mkdir(dir_.Path("locked").c_str(), 0700), 0);
    WriteFile(dir_.Path("locked/take.raw"), RandomGroups(3));
    CliRun run;
    run.asNobody = true;
    run.args = {"-q", "-o", "/tmp/oxlip-never-written.wav", dir_.Path("locked/take.raw")};
    result = RunCli(run);
    EXPECT_EQ(result.err, Said(dir_.Path("locked/take.raw"), {msg::kAccessDenied, msg::kCannotOpenInput}));

    WriteFile(dir_.Path("z.raw"), RandomGroups(3));
    result = Convert({"-q", "-r", "0", dir_.Path("z.raw")});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_NE(result.err.find(msg::kRateNotPositive), std::string::npos);
}

// A VOB that lost a pack: told and concealed by default; with --strict an error, and no output.
TEST_F(ConvertTool, StrictRefusesAStreamWithABreak) {
    // Any bytes are samples: a second of 24-bit stereo.
    Bytes audio(48000 * 6);
    std::mt19937 random(3);
    for (uint8_t& byte : audio)
        byte = static_cast<uint8_t>(random());
    std::vector<Bytes> packs = AuthoredLpcmPacks(audio, 24, 48000, 2);
    packs.erase(packs.begin() + 20);
    Bytes stream;
    for (const Bytes& pack : packs)
        stream.insert(stream.end(), pack.begin(), pack.end());
    const std::string input = dir_.Path("lost.vob");
    WriteFile(input, stream);
    const std::string at = msg::BreakTime(20 * 2011 / 12 * 2 / 48000.0);

    CliOutcome result = Convert({"-q", "-o", dir_.Path("kept.wav"), input});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_NE(result.err.find(at + ": "), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(msg::AudioBreaks(1)), std::string::npos) << result.err;
    EXPECT_TRUE(Exists(dir_.Path("kept.wav")));

    result = Convert({"-q", "--strict", "-o", dir_.Path("strict.wav"), input});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find(msg::AudioBroken(at)), std::string::npos) << result.err;
    EXPECT_FALSE(Exists(dir_.Path("strict.wav")));
}

} // namespace
