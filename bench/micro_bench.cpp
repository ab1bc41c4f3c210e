// Micro-benchmarks of the per-group work: the transcoder, the buffered file object's 10-byte reads and
// 8- and 12-byte writes (on their own and through a cursor), and a whole conversion run with a host that
// does nothing. Every figure is given per group ("per_group", the inverse of the group rate). Beside them,
// the DVD LPCM decoder a packet at a time, by bits and channels, as bytes of stream decoded per second.
#include "dvd/LpcmLayout.h"
#include "engine/SampleGroup.h"
#include "mmio/MMIOCursor.h"
#include "mmio/MMIOFile.h"
#include "run/ConversionRun.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kGroupsPerBatch = 4096;

std::vector<uint8_t> RandomBytes(size_t count) {
    std::mt19937 random(20);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

void CountGroups(benchmark::State& state, int64_t groupsPerIteration) {
    state.counters["per_group"] =
        benchmark::Counter(static_cast<double>(state.iterations() * groupsPerIteration),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A scratch file in the temporary folder, removed at the end.
class ScratchFile {
public:
    explicit ScratchFile(const std::vector<uint8_t>& contents) {
        const char* dir = std::getenv("TMPDIR");
        name_ = std::string(dir && *dir ? dir : "/tmp") + "/oxlip-micro-XXXXXX";
        const int fd = ::mkstemp(name_.data());
        if (fd < 0 || ::write(fd, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size()))
            std::abort();
        ::close(fd);
    }
    ~ScratchFile() { ::unlink(name_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::string& Name() const { return name_; }

private:
    std::string name_;
};

std::unique_ptr<TMMIOFile> OpenFile(const std::string& name, uint8_t access) {
    auto file = std::make_unique<TMMIOFile>();
    file->SetFileName(name);
    file->SetModes(true, access, 4);
    file->OpenExisting();
    file->SetBufferSize(TConversionRun::kBufferSize);
    return file;
}

// NormalizeGroup and EmitGroup over a batch of groups that stays in the first-level cache, as the run
// calls them: through a group record, with the format index not known in advance.
void BM_Transcoder(benchmark::State& state) {
    const bool bigEndian = state.range(0) != 0;
    int formatIndex = static_cast<int>(state.range(1));
    const std::vector<uint8_t> input = RandomBytes(kGroupsPerBatch * kGroupBytes);
    std::vector<uint8_t> output(kGroupsPerBatch * kMaxEmittedBytes);
    TSampleGroup group{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatIndex);
        const uint8_t* in = input.data();
        uint8_t* out = output.data();
        for (int g = 0; g < kGroupsPerBatch; ++g, in += kGroupBytes) {
            NormalizeGroup(in, bigEndian, group);
            out += EmitGroup(group, formatIndex, out);
        }
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    CountGroups(state, kGroupsPerBatch);
}
BENCHMARK(BM_Transcoder)
    ->ArgNames({"big_endian", "format"})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({0, 0});

// One 10-byte Read per group from a file in the page cache, the buffer refills included.
void BM_FileRead(benchmark::State& state) {
    const ScratchFile scratch(RandomBytes(4 << 20));
    const auto file = OpenFile(scratch.Name(), 0);
    uint8_t raw[kGroupBytes];
    for (auto _ : state) {
        if (file->Read(raw, kGroupBytes) != kGroupBytes)
            file->Rewind();
        benchmark::DoNotOptimize(raw);
    }
    CountGroups(state, 1);
}
BENCHMARK(BM_FileRead);

// The read fast path alone: 3,000 groups from the buffer, then a seek back to its start, which the file
// object serves from the buffer without a system call.
void BM_FileReadInBuffer(benchmark::State& state) {
    const ScratchFile scratch(RandomBytes(1 << 20));
    const auto file = OpenFile(scratch.Name(), 0);
    uint8_t raw[kGroupBytes];
    file->Read(raw, kGroupBytes);
    file->Rewind();
    int left = 3000;
    for (auto _ : state) {
        file->Read(raw, kGroupBytes);
        benchmark::DoNotOptimize(raw);
        if (--left == 0) {
            file->Rewind();
            left = 3000;
        }
    }
    CountGroups(state, 1);
}
BENCHMARK(BM_FileReadInBuffer);

// One Write per group of the given size, the buffer flushes included; the file starts over every 16 MiB.
void BM_FileWrite(benchmark::State& state) {
    const int32_t size = static_cast<int32_t>(state.range(0));
    const ScratchFile scratch({});
    const auto file = OpenFile(scratch.Name(), 1);
    uint8_t out[kMaxEmittedBytes] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    int64_t written = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(out);
        if (size == 12)
            file->Write(out, 12);
        else
            file->Write(out, 8);
        written += size;
        if (written >= (16 << 20)) {
            file->Rewind();
            written = 0;
        }
    }
    CountGroups(state, 1);
}
BENCHMARK(BM_FileWrite)->ArgName("bytes")->Arg(12)->Arg(8);

// The same reads through a cursor, as the run makes them: 4,096 groups per cursor, the file rewound at its
// end.
void BM_CursorRead(benchmark::State& state) {
    const ScratchFile scratch(RandomBytes(4 << 20));
    const auto file = OpenFile(scratch.Name(), 0);
    uint8_t raw[kGroupBytes];
    for (auto _ : state) {
        bool end = false;
        {
            TMMIOCursor cursor(*file);
            for (int g = 0; g < kGroupsPerBatch && !end; ++g) {
                end = cursor.Read(raw) != kGroupBytes;
                benchmark::DoNotOptimize(raw);
            }
        }
        if (end)
            file->Rewind();
    }
    CountGroups(state, kGroupsPerBatch);
}
BENCHMARK(BM_CursorRead);

// The same writes through a cursor: 4,096 groups per cursor, the file started over every 16 MiB.
template <int32_t N> void CursorWrites(TMMIOFile& file, int64_t& written) {
    uint8_t out[N] = {1, 2, 3, 4, 5, 6, 7, 8};
    TMMIOCursor cursor(file);
    for (int g = 0; g < kGroupsPerBatch; ++g) {
        benchmark::DoNotOptimize(out);
        cursor.Write(out);
    }
    written += int64_t{N} * kGroupsPerBatch;
}

void BM_CursorWrite(benchmark::State& state) {
    const ScratchFile scratch({});
    const auto file = OpenFile(scratch.Name(), 1);
    int64_t written = 0;
    for (auto _ : state) {
        if (state.range(0) == 12)
            CursorWrites<12>(*file, written);
        else
            CursorWrites<8>(*file, written);
        if (written >= (16 << 20)) {
            file->Rewind();
            written = 0;
        }
    }
    CountGroups(state, kGroupsPerBatch);
}
BENCHMARK(BM_CursorWrite)->ArgName("bytes")->Arg(12)->Arg(8);

// A host that answers every call at once.
class QuietHost final : public TRunHost {
public:
    void ShowError(const std::string& message) override { std::fprintf(stderr, "%s\n", message.c_str()); }
    bool Confirm(const std::string&) override { return true; }
    TStopAnswer AskStop(const std::string&) override { return TStopAnswer::Retry; }
    void SetGaugeMinimum(int64_t) override {}
    void SetGaugeMaximum(int64_t) override {}
    void SetGaugeProgress(int64_t progress) override { progress_ = progress; }
    void SetBusy(bool) override {}
    void ShowStopButton(bool) override {}
    void ProcessPendingEvents() override {}

private:
    int64_t progress_ = 0;
};

// A whole run on a 10 MB raw input: the conversion loop with its reads and writes and their system calls.
void BM_ConversionRun(benchmark::State& state) {
    constexpr int64_t kGroups = 1'000'000;
    const ScratchFile input(RandomBytes(kGroups * kGroupBytes));
    const ScratchFile output({});
    QuietHost host;
    TRunRequest request;
    request.input = input.Name();
    request.output = output.Name();
    request.resolution = state.range(0) == 0 ? TResolution::Reduced16 : TResolution::Source;
    for (auto _ : state) {
        TConversionRun run(host, request);
        if (run.Execute() != TRunResult::Completed)
            state.SkipWithError("the run did not complete");
    }
    CountGroups(state, kGroups);
}
BENCHMARK(BM_ConversionRun)->ArgName("format")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

// A DVD packet's worth of LPCM (2,000 bytes or so) decoded at a time, as a conversion does.
void BM_LpcmDecode(benchmark::State& state) {
    const TLpcmFormat format{static_cast<int>(state.range(0)), 96000, static_cast<int>(state.range(1)),
                             false};
    const std::vector<uint8_t> stream = RandomBytes(size_t{1} << 20);
    constexpr size_t kPacket = 2000;
    for (auto _ : state) {
        TLpcmDecoder decoder(format, false, false, TLpcmPacking::Pairs);
        for (size_t at = 0; at + kPacket <= stream.size(); at += kPacket)
            benchmark::DoNotOptimize(decoder.Decode(stream.data() + at, kPacket).data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_LpcmDecode)->ArgNames({"bits", "channels"})->ArgsProduct({{16, 20, 24}, {2, 6}});

BENCHMARK_MAIN();
