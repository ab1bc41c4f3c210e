// A DVD-Audio folder whose information files are arbitrary: opened, described and every convertible title
// read through TAudioTitleStream, beside a fixed AOB of PCM packs.
//
// Input layout: a 4-byte little-endian length n, then n bytes of AUDIO_TS.IFO, the rest ATS_01_0.IFO; each
// is written with its BUP. Any input must give a disc or a message, every cell must lie inside the AOB,
// the track starts must not go back, and no stream may hand out more than the AOB holds.
#include "FuzzSupport.h"

#include "dvda/AudioDiscWriter.h"

#include "disc/AudioDisc.h"
#include "disc/AudioTitleStream.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// 64 packs of 24-bit 96 kHz stereo PCM, then zeros (a sparse file) up to 4096 sectors.
constexpr int64_t kAobSectors = 4096;

const std::string& SmallAob() {
    static const std::string aob = [] {
        const dvda::TPcmLayout layout{{24, 0}, {96000, 0}, 1, 2, 0};
        dvda::TAobWriter writer(false);
        dvda::WritePcmTrack(writer, layout, dvda::Tones(layout, 64 * 334, 440), 0, 585);
        const Bytes& bytes = writer.Bytes_();
        return std::string(bytes.begin(), bytes.end());
    }();
    return aob;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    uint32_t managerBytes;
    std::memcpy(&managerBytes, data, 4);
    if (managerBytes > size - 4)
        return 0;
    const uint8_t* manager = data + 4;
    const uint8_t* titleSet = manager + managerBytes;
    const size_t titleSetBytes = size - 4 - managerBytes;

    const std::string folder = ScratchPath("AUDIO_TS");
    std::filesystem::create_directories(folder);
    static bool aobWritten = false;
    if (!aobWritten) {
        const std::string& aob = SmallAob();
        WriteWholeFile(folder + "/ATS_01_1.AOB", reinterpret_cast<const uint8_t*>(aob.data()), aob.size());
        std::filesystem::resize_file(folder + "/ATS_01_1.AOB", kAobSectors * 2048);
        aobWritten = true;
    }
    for (const char* ending : {".IFO", ".BUP"}) {
        WriteWholeFile(folder + "/AUDIO_TS" + ending, manager, managerBytes);
        WriteWholeFile(folder + "/ATS_01_0" + ending, titleSet, titleSetBytes);
    }

    std::string error;
    const std::unique_ptr<TAudioDisc> disc = TAudioDisc::Open(folder, error);
    if (!disc) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    for (const TAudioDiscTitle& title : disc->Titles()) {
        (void)title.format.Describe();
        int64_t previous = 0;
        for (const TAudioDiscTrack& track : title.tracks) {
            (void)track.format.Describe();
            FUZZ_CHECK(track.startFrame >= previous);
            previous = track.startFrame;
        }
        if (!title.unconvertible.empty())
            continue;
        for (const TAudioDiscCell& cell : title.cells)
            FUZZ_CHECK(cell.firstSector <= cell.lastSector && cell.lastSector < kAobSectors);
        const int tracks = static_cast<int>(title.tracks.size());
        const std::unique_ptr<TAudioTitleStream> stream =
            TAudioTitleStream::Open(*disc, title, 1, tracks, error);
        if (!stream) {
            FUZZ_CHECK(!error.empty());
            continue;
        }
        FUZZ_CHECK(stream->TrackStarts().size() == title.tracks.size());
        int64_t bytes = 0;
        std::span<const uint8_t> block;
        while (stream->Next(block)) {
            FUZZ_CHECK(block.size() % stream->Format().BlockAlign() == 0);
            bytes += static_cast<int64_t>(block.size());
        }
        FUZZ_CHECK(bytes <= 2 * static_cast<int64_t>(SmallAob().size()));
    }
    return 0;
}
