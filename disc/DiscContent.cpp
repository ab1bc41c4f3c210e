#include "disc/DiscContent.h"

int64_t TDiscTitle::Bytes() const {
    int64_t total = 0;
    for (const TDiscCell& cell : cells)
        total += cell.Bytes();
    return total;
}

const TDiscAudio* TDiscTitle::FirstLpcm() const {
    for (const TDiscAudio& stream : audio)
        if (stream.codec == TAudioCodec::Lpcm)
            return &stream;
    return nullptr;
}

const TDiscAudio* TDiscTitle::Audio(int streamNumber) const {
    for (const TDiscAudio& stream : audio)
        if (stream.number == streamNumber)
            return &stream;
    return nullptr;
}

int64_t NearestGroupStart(int64_t ticks, int rate, int sampleTimesPerGroup) {
    // groups = ticks * rate / (90000 * perGroup), rounded to nearest; a title of 24 hours at 96 kHz keeps
    // the product far below 2^63.
    const int64_t denominator = kTicksPerSecond * sampleTimesPerGroup;
    const int64_t groups = (ticks * rate + denominator / 2) / denominator;
    return groups * sampleTimesPerGroup;
}
