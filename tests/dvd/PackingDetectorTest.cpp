// The packing of 5.1 tracks that begin with silence or quietly, judged through the track reader over
// streams of 2000-byte packets, as a conversion judges it.
#include "LpcmEncoder.h"
#include "MemorySource.h"
#include "ProgramStreamWriter.h"
#include "dvd/LpcmTrackReader.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int kRate = 48000;

Bytes MakeStream(int bits, const Bytes& audio) {
    ProgramStreamWriter writer;
    for (size_t at = 0; at < audio.size(); at += 2000) {
        const Bytes piece(audio.begin() + static_cast<long>(at),
                          audio.begin() + static_cast<long>(std::min(at + 2000, audio.size())));
        writer.Pack().Lpcm(0xA0, bits, kRate, 6, piece).Pack().Video(300);
    }
    return writer.End().Result();
}

struct Read {
    Bytes samples;
    bool quads = false, unknown = false;
};

Read ReadTrack(const Bytes& stream) {
    MemorySource source(stream, 5000);
    TLpcmTrackReader reader(source, 0xA0, false, false);
    Read read;
    std::span<const uint8_t> block;
    if (reader.Start())
        while (reader.Next(block))
            read.samples.insert(read.samples.end(), block.begin(), block.end());
    read.quads = reader.QuadsDetected();
    read.unknown = reader.PackingUnknown();
    return read;
}

// 5.1 samples of `seconds`, each sample time from `at(t, channel)`.
std::vector<int32_t> Samples(double seconds, const std::function<int32_t(size_t, int)>& at) {
    std::vector<int32_t> samples;
    for (size_t t = 0; t < static_cast<size_t>(seconds * kRate); ++t)
        for (int c = 0; c < 6; ++c)
            samples.push_back(at(t, c));
    return samples;
}

} // namespace

// Silence, a fade from nothing or a channel that stays silent never decide: the packing is judged where the
// audio is, in either packing, at 20 and 24 bits, and the track decodes to its samples.
TEST(PackingDetector, SilentAndQuietStartsAreJudgedWhereTheAudioIs) {
    for (int bits : {20, 24}) {
        const double full = 0.6 * (1 << (bits - 1));
        const auto afterSilence = [&](double silence) {
            return [=](size_t t, int c) {
                const auto start = static_cast<size_t>(silence * kRate);
                return t < start ? 0 : static_cast<int32_t>(full * std::sin(0.0577 * (c + 1) * (t - start)));
            };
        };
        const struct {
            const char* what;
            double seconds;
            std::function<int32_t(size_t, int)> at;
        } starts[] = {
            {"0.5 s of silence", 1, afterSilence(0.5)},
            {"1.5 s of silence", 2, afterSilence(1.5)},
            {"10 s of silence", 10.5, afterSilence(10)},
            {"a fade-in over 2 s", 2.5,
             [=](size_t t, int c) {
                 const double gain = std::min(1.0, static_cast<double>(t) / (2 * kRate));
                 return static_cast<int32_t>(gain * full * std::sin(0.0577 * (c + 1) * t));
             }},
            {"the LFE silent throughout", 1,
             [=](size_t t, int c) {
                 return c == 3 ? 0 : static_cast<int32_t>(full * std::sin(0.0577 * (c + 1) * t));
             }},
        };
        for (const auto& start : starts) {
            const std::vector<int32_t> samples = Samples(start.seconds, start.at);
            for (bool quads : {false, true}) {
                SCOPED_TRACE(testing::Message() << bits << " bit, " << start.what << ", quads " << quads);
                const Read read = ReadTrack(MakeStream(bits, EncodeLpcm(samples, bits, 6, quads)));
                EXPECT_EQ(read.quads, quads);
                EXPECT_FALSE(read.unknown);
                EXPECT_TRUE(read.samples == ExpectedOutput(samples, bits, false));
            }
        }
    }
}

// Where the stream never tells, within the half minute judged (silence to its end, a longer silent start,
// noise), it is read as pairs, every sample of it, and said to be unknown.
TEST(PackingDetector, AStreamThatNeverTellsIsReadAsPairsAndSaidUnknown) {
    const struct {
        const char* what;
        std::vector<int32_t> samples;
    } cases[] = {
        {"silence", std::vector<int32_t>(6 * 2 * kRate, 0)},
        {"noise", RandomSamples(6 * 2 * kRate, 24)},
        {"31 s of silence", Samples(31.5,
                                    [](size_t t, int c) {
                                        return t < 31 * kRate
                                                   ? 0
                                                   : static_cast<int32_t>(4e6 * std::sin(0.05 * (c + 1) * t));
                                    })},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Read read = ReadTrack(MakeStream(24, EncodeLpcm(c.samples, 24, 6, true)));
        EXPECT_FALSE(read.quads);
        EXPECT_TRUE(read.unknown);
        EXPECT_EQ(read.samples.size(), c.samples.size() * 3);
    }
}
