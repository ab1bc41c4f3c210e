// The DVD-Audio path alone: a title's AOB read, demultiplexed and decoded to nowhere, as a conversion
// does minus the output file.
//
//   dvda_bench pcm DIR MEGABYTES   writes DIR/AUDIO_TS: one title, one track of 24-bit 96 kHz stereo PCM
//   dvda_bench mlp DIR FILE.mlp    the same with an MLP stream (as FFmpeg's encoder writes it) as the audio
//   dvda_bench run DIR             reads title 1 whole and prints MB/s of AOB and the sample periods
#include "dvda/AudioDiscWriter.h"

#include "disc/AudioDisc.h"
#include "disc/AudioTitleStream.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

void Save(const std::string& path, const Bytes& bytes, bool append = false) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The information files of one title, one track, one cell over the whole AOB.
void SaveTables(const std::string& audioTs, const dvda::TAuthoredTitle& title, int64_t frames,
                uint32_t sectors) {
    dvda::TAuthoredDisc authored;
    authored.titles = {title};
    dvda::TWrittenTitle written;
    const auto ticks = static_cast<uint32_t>(frames * 90000 / title.layout.rate[0]);
    written.firstPts = {authored.basePts};
    written.lengthPts = {ticks};
    written.cells = {{0, sectors - 1}};
    written.lengthTotal = ticks;
    for (const char* ending : {".IFO", ".BUP"}) {
        Save(audioTs + "/AUDIO_TS" + ending, dvda::ManagerIfo(authored, {written}));
        Save(audioTs + "/ATS_01_0" + ending, dvda::TitleSetIfo(authored, {written}, sectors));
    }
}

int MakePcm(const std::string& dir, long megabytes) {
    const std::string audioTs = dir + "/AUDIO_TS";
    std::filesystem::create_directories(audioTs);
    dvda::TAuthoredTitle title;
    title.layout = {{24, 0}, {96000, 0}, 1, 2, 0};
    const std::string aob = audioTs + "/ATS_01_1.AOB";
    Save(aob, {});
    constexpr int64_t kChunkFrames = 334 * 512; // whole packs of 24-bit stereo
    const std::vector<int32_t> tone = dvda::Tones(title.layout, kChunkFrames, 440);
    int64_t frames = 0;
    uint32_t sectors = 0;
    while (int64_t{sectors} * 2048 < megabytes * 1'000'000) {
        dvda::TAobWriter writer(false);
        dvda::WritePcmTrack(writer, title.layout, tone, frames, 585);
        Save(aob, writer.Bytes_(), true);
        sectors += writer.Sectors();
        frames += kChunkFrames;
    }
    SaveTables(audioTs, title, frames, sectors);
    return 0;
}

int MakeMlp(const std::string& dir, const std::string& mlpFile) {
    const std::string audioTs = dir + "/AUDIO_TS";
    std::filesystem::create_directories(audioTs);
    std::ifstream in(mlpFile, std::ios::binary);
    const Bytes mlp((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int64_t units = 0;
    for (size_t at = 0; at + 2 <= mlp.size(); ++units) {
        const size_t length = static_cast<size_t>((mlp[at] << 8 | mlp[at + 1]) & 0xFFF) * 2;
        if (length < 4)
            return 1;
        at += length;
    }
    dvda::TAuthoredTitle title;
    title.mlp = true;
    title.layout = {{24, 0}, {96000, 0}, 1, 2, 0};
    dvda::TAobWriter writer(false);
    dvda::WriteMlpTrack(writer, mlp, 585);
    Save(audioTs + "/ATS_01_1.AOB", writer.Bytes_());
    SaveTables(audioTs, title, units * 80, writer.Sectors());
    return 0;
}

int Run(const std::string& dir) {
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(dir, error);
    if (!disc) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const TAudioDiscTitle& title = disc->Titles()[0];
    const std::unique_ptr<TAudioTitleStream> stream =
        TAudioTitleStream::Open(*disc, title, 1, static_cast<int>(title.tracks.size()), error);
    if (!stream) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::span<const uint8_t> block;
    uint64_t check = 0;
    while (stream->Next(block))
        check += block.empty() ? 0 : block[block.size() / 2];
    if (!stream->Error().empty()) {
        std::fprintf(stderr, "%s\n", stream->Error().c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f MB/s (%lld MB of AOB in %.3f s), %lld sample periods, check %llu\n",
                static_cast<double>(stream->Size()) / 1e6 / seconds,
                static_cast<long long>(stream->Size() / 1000000), seconds,
                static_cast<long long>(stream->Frames()), static_cast<unsigned long long>(check));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "pcm" && argc == 4)
        return MakePcm(argv[2], std::atol(argv[3]));
    if (mode == "mlp" && argc == 4)
        return MakeMlp(argv[2], argv[3]);
    if (mode == "run" && argc == 3)
        return Run(argv[2]);
    std::fprintf(stderr, "usage: dvda_bench pcm DIR MEGABYTES | mlp DIR FILE.mlp | run DIR\n");
    return 2;
}
