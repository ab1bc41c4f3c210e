#include "dvd/LpcmLayout.h"
#include "LpcmEncoder.h"
#include "dvd/PackingDetector.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Decodes the bytes fed in pieces of varying length, so that groups cross every kind of boundary.
Bytes DecodeInPieces(TLpcmDecoder& decoder, const Bytes& input) {
    Bytes out;
    size_t at = 0;
    for (size_t piece = 1; at < input.size(); piece = piece * 7 % 61 + 1) {
        const size_t n = std::min(piece, input.size() - at);
        const auto block = decoder.Decode(input.data() + at, n);
        out.insert(out.end(), block.begin(), block.end());
        at += n;
    }
    return out;
}

} // namespace

TEST(LpcmLayout, EveryLayoutDecodesToTheEncodersSamples) {
    for (int bits : {16, 20, 24}) {
        for (int channels = 1; channels <= 8; ++channels) {
            for (bool reduce : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << bits << " bit, " << channels << " channels, reduce " << reduce);
                const std::vector<int32_t> samples =
                    RandomSamples(static_cast<size_t>(channels) * 2 * 37, bits);
                Bytes input = EncodeLpcm(samples, bits, channels);
                TLpcmDecoder decoder({bits, 48000, channels, false}, reduce, false);
                // A cut-off group at the end is dropped.
                input.insert(input.end(), static_cast<size_t>(decoder.GroupBytes() - 1), 0x5A);
                EXPECT_EQ(DecodeInPieces(decoder, input), ExpectedOutput(samples, bits, reduce));
                EXPECT_EQ(decoder.Frames(), 2 * 37);
                EXPECT_EQ(decoder.OutputBits(), reduce ? 16 : bits);
                EXPECT_EQ(decoder.PendingBytes(), static_cast<size_t>(decoder.GroupBytes() - 1));
            }
        }
    }
}

TEST(LpcmLayout, DitherIsUnbiasedBoundedPerChannelAndRepeatable) {
    for (auto [bits, channels] : {std::pair{20, 2}, {20, 3}, {24, 3}}) {
        SCOPED_TRACE(testing::Message() << bits << " bit, " << channels << " channels");
        std::vector<int32_t> samples = RandomSamples(channels * 2 * 20000, bits, 9);
        // Full-scale values must clip, not wrap.
        samples[0] = (1 << (bits - 1)) - 1;
        const Bytes input = EncodeLpcm(samples, bits, channels);
        TLpcmDecoder decoder({bits, 48000, channels, false}, true, true);
        const auto block = decoder.Decode(input.data(), input.size());
        const Bytes out(block.begin(), block.end());
        ASSERT_EQ(out.size(), samples.size() * 2);
        double sum = 0, worst = 0;
        int changedFromTruncation = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            const auto value = static_cast<int16_t>(out[2 * i] | out[2 * i + 1] << 8);
            const double exact = samples[i] / std::pow(2.0, bits - 16);
            const double error = std::min(exact, 32767.0) - value;
            sum += error;
            worst = std::max(worst, std::abs(error));
            changedFromTruncation += value != (samples[i] >> (bits - 16));
        }
        EXPECT_LT(std::abs(sum / static_cast<double>(samples.size())), 0.02);
        EXPECT_LE(worst, 1.5);
        EXPECT_GT(changedFromTruncation, static_cast<int>(samples.size() / 3));
        EXPECT_EQ(static_cast<int16_t>(out[0] | out[1] << 8), 32767);

        TLpcmDecoder again({bits, 48000, channels, false}, true, true);
        EXPECT_EQ(DecodeInPieces(again, input), out) << "the same input dithers the same";
        // Each channel has its own generator: the same signal on two channels gets different noise.
        std::vector<int32_t> same(channels * 2 * 200, 1234);
        const Bytes sameInput = EncodeLpcm(same, bits, channels);
        TLpcmDecoder perChannel({bits, 48000, channels, false}, true, true);
        const auto sameOut = perChannel.Decode(sameInput.data(), sameInput.size());
        int differ = 0;
        for (size_t i = 0; i + 1 < same.size(); i += channels)
            differ += sameOut[2 * i] != sameOut[2 * i + 2];
        EXPECT_GT(differ, 20);
    }
}

// Both packings, a tone per channel: each decodes to the encoder's samples, dithered and not, and the
// detection tells which one the bytes are in.
TEST(LpcmLayout, BothPackingsRoundTripAndAreDetected) {
    for (int bits : {20, 24}) {
        for (int channels : {1, 4, 6, 8}) {
            for (TLpcmPacking packing : {TLpcmPacking::Pairs, TLpcmPacking::Quads}) {
                const bool quads = packing == TLpcmPacking::Quads;
                SCOPED_TRACE(testing::Message()
                             << bits << " bit, " << channels << " channels, quads " << quads);
                const TLpcmFormat format{bits, 48000, channels, false};
                const std::vector<int32_t> samples =
                    ToneSamples(kPackingFrames, channels, 0.6 * (1 << (bits - 1)));
                const Bytes input = EncodeLpcm(samples, bits, channels, quads);
                TLpcmDecoder decoder(format, false, false, packing);
                EXPECT_EQ(decoder.Packing(), packing);
                EXPECT_EQ(DecodeInPieces(decoder, input), ExpectedOutput(samples, bits, false));
                EXPECT_EQ(decoder.Frames(), kPackingFrames);
                // The general path that dithers reads the packing as the compiled one does.
                TLpcmDecoder dithered(format, true, true, packing);
                TLpcmDecoder reference(format, true, true);
                const Bytes pairsInput = EncodeLpcm(samples, bits, channels);
                EXPECT_EQ(DecodeInPieces(dithered, input), DecodeInPieces(reference, pairsInput));
                EXPECT_EQ(DetectPacking(format, input.data(), input.size()), packing);
            }
        }
    }
}

// Pairs wherever the readings do not differ clearly or at all: noise, silence, a constant, a start too
// short to judge; stereo and 16 bit, where the packings are one.
TEST(LpcmLayout, DetectionKeepsPairsWithoutClearEvidence) {
    struct Case {
        const char* what;
        int bits, channels;
        std::vector<int32_t> samples;
        bool quads;
    };
    const std::vector<Case> cases = {
        {"noise", 24, 6, RandomSamples(6 * kPackingFrames, 24), true},
        {"noise", 20, 5, RandomSamples(5 * kPackingFrames, 20), true},
        {"silence", 24, 6, std::vector<int32_t>(6 * kPackingFrames, 0), true},
        {"constant", 24, 4, std::vector<int32_t>(4 * kPackingFrames, -1000), true},
        {"short", 24, 6, ToneSamples(16, 6, 1e6), true},
        {"stereo", 24, 2, ToneSamples(kPackingFrames, 2, 1e6), true},
        {"16 bit", 16, 6, ToneSamples(kPackingFrames, 6, 1e4), true},
        {"pairs", 24, 6, ToneSamples(kPackingFrames, 6, 1e6), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes input = EncodeLpcm(c.samples, c.bits, c.channels, c.quads);
        EXPECT_EQ(DetectPacking({c.bits, 48000, c.channels, false}, input.data(), input.size()),
                  TLpcmPacking::Pairs);
    }
}
