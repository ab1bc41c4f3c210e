#include "dvd/LpcmLayout.h"

#include "engine/SampleGroup.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

#if defined(__x86_64__)
// Four 24-bit samples as a stereo group and a quad hold them, four big-endian high words then the four low
// bytes, are one byte shuffle away from their little-endian output: 12 bytes to 12, or to 8 for 16 bits.
// The loads and stores take 16 bytes, so each unit but the last is done so (the next unit's bytes are
// there to be read, and its output overwrites what the store wrote past its own); the caller does the
// last. Returns the units done.
template <bool To16>
__attribute__((target("ssse3"))) size_t ShuffleTwelves(const uint8_t* in, size_t units, uint8_t* out) {
    const __m128i order = To16 ? _mm_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, -1, -1, -1, -1, -1, -1, -1, -1)
                               : _mm_setr_epi8(8, 1, 0, 9, 3, 2, 10, 5, 4, 11, 7, 6, -1, -1, -1, -1);
    constexpr size_t kOut = To16 ? 8 : 12;
    size_t done = 0;
    for (; done + 1 < units; ++done, in += 12, out += kOut) {
        const __m128i samples =
            _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)), order);
        if constexpr (To16)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), samples);
        else
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), samples);
    }
    return done;
}

bool CanShuffle() {
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    return ssse3;
}
#endif

// Shuffles what it can of `units` 12-byte units of 24-bit samples, and moves `in` and `out` past them;
// returns the units left.
template <bool To16> size_t ShuffleWhatItCan(const uint8_t*& in, size_t units, uint8_t*& out) {
#if defined(__x86_64__)
    if (CanShuffle()) {
        const size_t done = ShuffleTwelves<To16>(in, units, out);
        in += 12 * done;
        out += (To16 ? 8 : 12) * done;
        return units - done;
    }
#endif
    (void)in;
    (void)out;
    return units;
}

// Groups of 20- or 24-bit samples for a channel count known at compile time, without dither: the loop over
// a group's samples unrolls, and a sample costs a few byte moves. Each sample's high word comes big-endian
// from the group's first part, its low byte or nibble from the second; the output is little-endian, the
// low part on top of the container's low byte, or dropped for 16 bits.
template <int Bits, int Channels, bool To16>
uint8_t* DecodeFixedGroups(const uint8_t* in, size_t groups, uint8_t* out) {
    constexpr int kSamples = 2 * Channels;
    constexpr int kGroupBytes = Bits * kSamples / 8;
    if constexpr (Bits == 24 && Channels == 2)
        groups = ShuffleWhatItCan<To16>(in, groups, out);
    for (size_t g = 0; g < groups; ++g, in += kGroupBytes) {
        const uint8_t* low = in + 2 * kSamples;
        for (int k = 0; k < kSamples; ++k) {
            if constexpr (!To16) {
                if constexpr (Bits == 24)
                    *out++ = low[k];
                else
                    *out++ = (k & 1) ? static_cast<uint8_t>(low[k / 2] << 4) : low[k / 2] & 0xF0;
            }
            *out++ = in[2 * k + 1];
            *out++ = in[2 * k];
        }
    }
    return out;
}

// Quads of 20- or 24-bit samples: four high words, then four low bytes or two bytes of nibbles. The channel
// count does not matter, only that a group holds whole quads.
template <int Bits, bool To16> uint8_t* DecodeQuads(const uint8_t* in, size_t quads, uint8_t* out) {
    constexpr int kQuadBytes = Bits / 2;
    if constexpr (Bits == 24)
        quads = ShuffleWhatItCan<To16>(in, quads, out);
    for (size_t q = 0; q < quads; ++q, in += kQuadBytes) {
        const uint8_t* low = in + 8;
        for (int k = 0; k < 4; ++k) {
            if constexpr (!To16) {
                if constexpr (Bits == 24)
                    *out++ = low[k];
                else
                    *out++ = (k & 1) ? static_cast<uint8_t>(low[k / 2] << 4) : low[k / 2] & 0xF0;
            }
            *out++ = in[2 * k + 1];
            *out++ = in[2 * k];
        }
    }
    return out;
}

template <int Bits, bool To16, int Channels>
uint8_t* DecodeQuadGroups(const uint8_t* in, size_t groups, uint8_t* out) {
    constexpr size_t kQuadsPerGroup = Channels % 2 ? Channels : Channels / 2;
    return DecodeQuads<Bits, To16>(in, groups * kQuadsPerGroup, out);
}

template <int Bits, bool To16, int... Channels>
TLpcmDecoder::FixedDecode FixedDecodeFor(int channels, std::integer_sequence<int, Channels...>) {
    TLpcmDecoder::FixedDecode decode = nullptr;
    ((channels == Channels + 1 ? decode = &DecodeFixedGroups<Bits, Channels + 1, To16> : decode), ...);
    return decode;
}

template <int Bits, bool To16, int... Channels>
TLpcmDecoder::FixedDecode QuadDecodeFor(int channels, std::integer_sequence<int, Channels...>) {
    TLpcmDecoder::FixedDecode decode = nullptr;
    ((channels == Channels + 1 ? decode = &DecodeQuadGroups<Bits, To16, Channels + 1> : decode), ...);
    return decode;
}

TLpcmDecoder::FixedDecode FixedDecodeFor(int bits, int channels, bool to16, TLpcmPacking packing) {
    const auto counts = std::make_integer_sequence<int, 8>();
    if (packing == TLpcmPacking::Quads) {
        if (bits == 24)
            return to16 ? QuadDecodeFor<24, true>(channels, counts)
                        : QuadDecodeFor<24, false>(channels, counts);
        return to16 ? QuadDecodeFor<20, true>(channels, counts) : QuadDecodeFor<20, false>(channels, counts);
    }
    if (bits == 24)
        return to16 ? FixedDecodeFor<24, true>(channels, counts)
                    : FixedDecodeFor<24, false>(channels, counts);
    return to16 ? FixedDecodeFor<20, true>(channels, counts) : FixedDecodeFor<20, false>(channels, counts);
}

} // namespace

TLpcmDecoder::TLpcmDecoder(const TLpcmFormat& format, bool reduceTo16, bool dither, TLpcmPacking packing)
    : bits_(format.bits), channels_(std::clamp(format.channels, 1, 8)),
      outputBits_(reduceTo16 ? 16 : format.bits), dither_(dither && reduceTo16 && format.bits > 16),
      packing_(PackingsDiffer({bits_, format.sampleRate, channels_, false}) ? packing : TLpcmPacking::Pairs) {
    groupFrames_ = bits_ == 16 ? 1 : (packing_ == TLpcmPacking::Quads && channels_ % 2 ? 4 : 2);
    groupBytes_ = bits_ * channels_ * groupFrames_ / 8;
    outputGroupBytes_ = OutputContainerBytes() * channels_ * groupFrames_;
    if (dither_)
        for (int channel = 0; channel < channels_; ++channel)
            generators_.emplace_back(DitherSeed(channel));
    else if (bits_ != 16)
        fixedDecode_ = FixedDecodeFor(bits_, channels_, outputBits_ == 16, packing_);
}

std::span<const uint8_t> TLpcmDecoder::Decode(const uint8_t* data, size_t size) {
    if (size == 0)
        return {};
    const size_t group = static_cast<size_t>(groupBytes_);
    const size_t maxGroups = (pendingBytes_ + size) / group;
    if (block_.size() < maxGroups * static_cast<size_t>(outputGroupBytes_))
        block_.resize(maxGroups * static_cast<size_t>(outputGroupBytes_));
    uint8_t* out = block_.data();
    if (pendingBytes_ > 0) {
        const size_t take = std::min(group - pendingBytes_, size);
        std::memcpy(pending_ + pendingBytes_, data, take);
        pendingBytes_ += take;
        data += take;
        size -= take;
        if (pendingBytes_ < group)
            return {};
        out = DecodeGroups(pending_, 1, out);
        pendingBytes_ = 0;
    }
    const size_t groups = size / group;
    out = DecodeGroups(data, groups, out);
    pendingBytes_ = size - groups * group;
    std::memcpy(pending_, data + groups * group, pendingBytes_);
    const auto produced = static_cast<size_t>(out - block_.data());
    frames_ += static_cast<int64_t>(produced) / (OutputContainerBytes() * channels_);
    return {block_.data(), produced};
}

uint8_t* TLpcmDecoder::DecodeGroups(const uint8_t* in, size_t groups, uint8_t* out) {
    if (bits_ == 16) {
        // Big-endian words to little-endian: nothing else changes.
        const size_t words = groups * static_cast<size_t>(channels_);
        for (size_t i = 0; i < words; ++i) {
            out[2 * i] = in[2 * i + 1];
            out[2 * i + 1] = in[2 * i];
        }
        return out + 2 * words;
    }
    if (bits_ == 20 && channels_ == 2) {
        // The raw path's group, through the raw path's transcoder and dither.
        const int formatIndex = outputBits_ == 16 ? 0 : 1;
        TSampleGroup sampleGroup;
        for (size_t g = 0; g < groups; ++g, in += kGroupBytes) {
            NormalizeGroup(in, true, sampleGroup);
            if (dither_) {
                DitherGroupTo16(sampleGroup, generators_[0], generators_[1], out);
                out += 8;
            } else {
                out += EmitGroup(sampleGroup, formatIndex, out);
            }
        }
        return out;
    }
    if (fixedDecode_)
        return fixedDecode_(in, groups, out);
    for (size_t g = 0; g < groups; ++g, in += groupBytes_)
        out = DecodeGeneric(in, out);
    return out;
}

// The k-th sample of a 20- or 24-bit group with its source's valid bits.
int32_t TLpcmDecoder::SampleValue(const uint8_t* group, int k) const {
    // The part of the group holding the sample's high word and low part, and the sample's place in it.
    const int partSamples = packing_ == TLpcmPacking::Quads ? 4 : 2 * channels_;
    const uint8_t* part = group + k / partSamples * (bits_ * partSamples / 8);
    const int i = k % partSamples;
    const uint8_t* low = part + 2 * partSamples;
    const auto high = static_cast<int16_t>(part[2 * i] << 8 | part[2 * i + 1]);
    if (bits_ == 24)
        return high * 256 + low[i];
    return high * 16 + ((i & 1) ? low[i / 2] & 0x0F : low[i / 2] >> 4);
}

// One 20- or 24-bit group of any channel count.
uint8_t* TLpcmDecoder::DecodeGeneric(const uint8_t* group, uint8_t* out) {
    const int samples = groupFrames_ * channels_;
    for (int k = 0; k < samples; ++k) {
        const int32_t value = SampleValue(group, k);
        if (outputBits_ == 16) {
            const auto high = static_cast<int16_t>(value >> (bits_ - 16));
            const int16_t reduced =
                dither_ ? generators_[static_cast<size_t>(k % channels_)].Reduce(value, bits_) : high;
            out[0] = static_cast<uint8_t>(reduced);
            out[1] = static_cast<uint8_t>(reduced >> 8);
            out += 2;
        } else {
            const auto container = static_cast<uint32_t>(value) << (24 - bits_);
            out[0] = static_cast<uint8_t>(container);
            out[1] = static_cast<uint8_t>(container >> 8);
            out[2] = static_cast<uint8_t>(container >> 16);
            out += 3;
        }
    }
    return out;
}
