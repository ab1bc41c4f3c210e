// A track whose packs are lost, blanked, repeated or out of order: the reader drops the sample group broken
// there, starts again at the next whole frame and fills the time missing with silence.
#include "LpcmEncoder.h"
#include "MemorySource.h"
#include "ProgramStreamWriter.h"

#include "dvd/LpcmTrackReader.h"

#include <gtest/gtest.h>

namespace {

enum class Damage { Lost, Blanked, Repeated, Swapped, BlankSecond };

struct Read {
    Bytes samples;
    int breaks = 0;
};

Read ReadTrack(const std::vector<Bytes>& packs, bool fillGaps = true) {
    Bytes stream;
    for (const Bytes& pack : packs)
        stream.insert(stream.end(), pack.begin(), pack.end());
    MemorySource source(stream, 4096);
    TLpcmTrackReader reader(source, 0xA0, false, false, TLpcmPackingChoice::Pairs);
    reader.SetFillGaps(fillGaps);
    Read read;
    std::span<const uint8_t> block;
    if (reader.Start())
        while (reader.Next(block))
            read.samples.insert(read.samples.end(), block.begin(), block.end());
    read.breaks = reader.BreakCount();
    return read;
}

std::vector<Bytes> Damaged(std::vector<Bytes> packs, Damage damage, size_t at, size_t secondPacks) {
    switch (damage) {
    case Damage::Lost:
        packs.erase(packs.begin() + static_cast<std::ptrdiff_t>(at));
        break;
    case Damage::Blanked:
        std::fill(packs[at].begin(), packs[at].end(), 0);
        break;
    case Damage::Repeated:
        packs.insert(packs.begin() + static_cast<std::ptrdiff_t>(at), packs[at]);
        break;
    case Damage::Swapped:
        std::swap(packs[at], packs[at + 1]);
        break;
    case Damage::BlankSecond:
        for (size_t k = at; k < at + secondPacks; ++k)
            std::fill(packs[k].begin(), packs[k].end(), 0);
        break;
    }
    return packs;
}

TEST(StreamBreak, TheRestOfTheTrackStaysInPlaceAfterSilenceNoLongerThanWhatWasLost) {
    constexpr int kRate = 48000;
    constexpr size_t kPayload = 2011;
    for (const int bits : {16, 20, 24}) {
        for (const int channels : {1, 2, 6}) {
            const Bytes audio = EncodeLpcm(RandomSamples(size_t{3} * kRate * channels, bits), bits, channels);
            const std::vector<Bytes> packs = AuthoredLpcmPacks(audio, bits, kRate, channels, kPayload);
            const Read clean = ReadTrack(packs);
            ASSERT_EQ(clean.breaks, 0);
            const size_t frameBytes = static_cast<size_t>(channels * (bits == 16 ? 2 : 3));
            ASSERT_EQ(clean.samples.size(),
                      audio.size() * 8 / static_cast<size_t>(bits * channels) * frameBytes);
            const auto packFrames = static_cast<int64_t>(kPayload * 8 / static_cast<size_t>(bits * channels));
            const size_t secondPacks = audio.size() / 3 / kPayload;
            for (const Damage damage :
                 {Damage::Lost, Damage::Blanked, Damage::Repeated, Damage::Swapped, Damage::BlankSecond}) {
                SCOPED_TRACE(testing::Message() << bits << " bits, " << channels << " channels, damage "
                                                << static_cast<int>(damage));
                const std::vector<Bytes> damagedPacks = Damaged(packs, damage, packs.size() / 3, secondPacks);
                const Read read = ReadTrack(damagedPacks);
                // Silence keeps the track's length, and each place is told once.
                ASSERT_EQ(read.samples.size(), clean.samples.size());
                EXPECT_EQ(read.breaks, 1);
                // Every frame that differs lies in one stretch of silence, no longer than the packs lost, the
                // frame begun in the pack before and a broken group.
                const size_t frames = clean.samples.size() / frameBytes;
                size_t first = frames, last = 0;
                for (size_t f = 0; f < frames; ++f)
                    if (!std::equal(clean.samples.begin() + f * frameBytes,
                                    clean.samples.begin() + (f + 1) * frameBytes,
                                    read.samples.begin() + f * frameBytes))
                        first = std::min(first, f), last = f;
                if (damage == Damage::Repeated) {
                    EXPECT_EQ(first, frames);
                    continue;
                }
                ASSERT_LT(first, frames);
                EXPECT_TRUE(std::all_of(read.samples.begin() + first * frameBytes,
                                        read.samples.begin() + (last + 1) * frameBytes,
                                        [](uint8_t byte) { return byte == 0; }));
                const int64_t lost = damage == Damage::BlankSecond ? kRate + packFrames : packFrames;
                EXPECT_LE(static_cast<int64_t>(last - first + 1), lost + kRate / 600 + 4);
                // Without filling, the stretch is left out and the audio on either side joined.
                Bytes joined(clean.samples.begin(), clean.samples.begin() + first * frameBytes);
                joined.insert(joined.end(), clean.samples.begin() + (last + 1) * frameBytes,
                              clean.samples.end());
                EXPECT_EQ(ReadTrack(damagedPacks, false).samples, joined);
            }
        }
    }
}

// Stamps that keep to a clock of their own (here the byte count) and pointers at every packet's first
// byte say nothing: nothing is broken.
TEST(StreamBreak, StampsThatDoNotKeepToTheBytesAreLeftAside) {
    const Bytes audio = EncodeLpcm(RandomSamples(48000 * 2, 24), 24, 2);
    std::vector<Bytes> packs;
    for (size_t at = 0; at < audio.size(); at += 2000)
        packs.push_back(
            ProgramStreamWriter()
                .Pack()
                .Lpcm(0xA0, 24, 48000, 2,
                      Bytes(audio.begin() + static_cast<std::ptrdiff_t>(at),
                            audio.begin() + static_cast<std::ptrdiff_t>(std::min(at + 2000, audio.size()))),
                      false, 90000 + static_cast<int64_t>(at))
                .Take());
    const Read read = ReadTrack(packs);
    EXPECT_EQ(read.breaks, 0);
    EXPECT_EQ(read.samples, ExpectedOutput(RandomSamples(48000 * 2, 24), 24, false));
}

} // namespace
