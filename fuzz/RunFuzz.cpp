// A whole conversion run with a scripted host over arbitrary inputs, raw or RIFF-shaped.
//
// Input layout: byte 0 chooses the run (bits 0-1 the output-format item, bit 2 a RIFF WAVE header put in
// front of the rest, bits 3-4 the answer to the stop question, bit 5 an output that exists already), byte
// 1 the number of written groups after which STOP! is pressed (255: never), the rest is the file.
//
// Whatever the input, the run must leave the input as it was, say nothing, and leave either no output or
// a WAVE file whose header describes exactly the samples it holds, each converted from its group.
#include "FakeHost.h"
#include "FuzzSupport.h"

#include "engine/OutputHeader.h"
#include "run/ConversionRun.h"

#include <cstring>
#include <unistd.h>

namespace {

void AppendU32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
}

uint32_t U32At(const std::string& bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

// A RIFF WAVE file whose data chunk holds `body`, as a ripping tool writes it.
std::string RiffShaped(const uint8_t* body, size_t size) {
    std::string bytes = "RIFF";
    AppendU32(bytes, static_cast<uint32_t>(36 + size));
    bytes += "WAVEfmt ";
    AppendU32(bytes, 16);
    const uint8_t format[16] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0, 4, 0, 20, 0};
    bytes.append(reinterpret_cast<const char*>(format), sizeof format);
    bytes += "data";
    AppendU32(bytes, static_cast<uint32_t>(size));
    bytes.append(reinterpret_cast<const char*>(body), size);
    return bytes;
}

// One group's output, sample by sample: the word's two bytes (swapped in little-endian input), and for 24
// bits first the sample's nibble (samples 1 and 2 in the first extension byte, high nibble first).
void ExpectedGroup(const uint8_t* group, bool bigEndian, int formatIndex, uint8_t* out) {
    for (int i = 0; i < 4; ++i) {
        const uint8_t high = bigEndian ? group[2 * i] : group[2 * i + 1];
        const uint8_t low = bigEndian ? group[2 * i + 1] : group[2 * i];
        const uint8_t extension = bigEndian ? group[8 + i / 2] : group[9 - i / 2];
        const auto nibble = static_cast<uint8_t>(i % 2 == 0 ? extension >> 4 : extension & 0x0F);
        if (formatIndex == 0) {
            out[2 * i] = low;
            out[2 * i + 1] = high;
        } else {
            out[3 * i] = static_cast<uint8_t>(nibble << 4);
            out[3 * i + 1] = low;
            out[3 * i + 2] = high;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const uint8_t control = data[0];
    const std::string input = (control & 4) ? RiffShaped(data + 2, size - 2)
                                            : std::string(reinterpret_cast<const char*>(data + 2), size - 2);

    FakeHost host;
    host.input = ScratchPath("take.raw");
    host.output = ScratchPath("take.wav");
    host.formatIndex = control & 3;
    host.confirmAnswers = {true, true}; // overwrite, and fall back to 16 bits
    host.stopAnswers = {static_cast<TStopAnswer>((control >> 3) & 3)};
    host.stopAfterGroups = data[1] == 255 ? -1 : data[1];
    WriteWholeFile(host.input, reinterpret_cast<const uint8_t*>(input.data()), input.size());
    ::unlink(host.output.c_str());
    if (control & 0x20)
        WriteWholeFile(host.output, data, 2);

    TConversionRun run(host, host.Request());
    host.run = &run;
    const TRunResult result = run.Execute();

    std::string after;
    FUZZ_CHECK(ReadWholeFile(host.input, after) && after == input);
    FUZZ_CHECK(host.errors.empty());
    FUZZ_CHECK(result == TRunResult::Completed || result == TRunResult::Stopped ||
               result == TRunResult::Aborted);

    std::string output;
    const bool kept = ReadWholeFile(host.output, output);
    FUZZ_CHECK(kept == (result != TRunResult::Aborted));
    if (!kept)
        return 0;

    const int64_t offset = run.DataOffset();
    FUZZ_CHECK(offset >= 0 && offset <= static_cast<int64_t>(input.size()));
    const int64_t groups = (static_cast<int64_t>(input.size()) - offset) / kGroupBytes;
    FUZZ_CHECK(run.GroupCount() == groups && host.gaugeMaximum == groups);
    const int64_t written = run.GroupsWritten();
    FUZZ_CHECK(written == groups || (result == TRunResult::Stopped && written < groups));

    // The header describes exactly what the file holds.
    const int bytesPerGroup = EmittedBytes(host.formatIndex);
    FUZZ_CHECK(static_cast<int64_t>(output.size()) == kWaveHeaderBytes + written * bytesPerGroup);
    const TWaveHeader expected = BuildWaveHeader(48000, host.formatIndex, static_cast<uint32_t>(written));
    FUZZ_CHECK(std::memcmp(output.data(), &expected, kWaveHeaderBytes) == 0);
    FUZZ_CHECK(U32At(output, 42) == output.size() - kWaveHeaderBytes);
    FUZZ_CHECK(U32At(output, 4) == output.size() - 8);

    // And every sample is worked out anew from its group of the input.
    const bool bigEndian = offset == 0;
    for (int64_t i = 0; i < written; ++i) {
        uint8_t bytes[kMaxEmittedBytes];
        ExpectedGroup(reinterpret_cast<const uint8_t*>(input.data()) + offset + kGroupBytes * i, bigEndian,
                      host.formatIndex, bytes);
        FUZZ_CHECK(std::memcmp(output.data() + kWaveHeaderBytes + bytesPerGroup * i, bytes,
                               static_cast<size_t>(bytesPerGroup)) == 0);
    }
    return 0;
}
