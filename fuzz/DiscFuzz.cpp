// A disc folder whose IFO files are arbitrary: opened, listed and its titles read through the disc
// reader, beside a small program stream as the title set's VOB.
//
// Input layout: a 4-byte little-endian length n, then n bytes of VIDEO_TS.IFO, the rest VTS_01_0.IFO; each
// is written with its BUP. libdvdread reads them in the disc reader's child process, so its own faults
// end as refusals; this process must never crash, and every title it is given must lie inside the VOB.
// With OXLIP_FUZZ_IN_PROCESS=1 libdvdread parses in this process instead, so that the fuzzer sees the
// coverage of the parse, the checks of the child's reply and the title layout; libdvdread's own crashes
// then end the run too (run it with -fork=1 -ignore_crashes=1 -detect_leaks=0).
#include "FuzzSupport.h"

#include "disc/Disc.h"
#include "disc/DiscListing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The VOB: 64 packs of audio, then zeros (a sparse file) up to 4096 blocks, room for a real disc's cells.
constexpr int kVobPacks = 64;
constexpr int64_t kVobBlocks = 4096;

void Write(const std::string& path, const char* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}

// Packs of 16-bit stereo 48 kHz LPCM, as FFmpeg writes them for a DVD.
std::string SmallVob() {
    std::string vob;
    for (int p = 0; p < kVobPacks; ++p) {
        std::string pack(2048, '\0');
        const unsigned char header[] = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 1, 0x89, 0xC3, 0xF8};
        std::memcpy(pack.data(), header, sizeof header);
        const int pesLength = 2048 - 14 - 6;
        const unsigned char pes[] = {0, 0, 1, 0xBD, static_cast<unsigned char>(pesLength >> 8),
                                     static_cast<unsigned char>(pesLength & 0xFF), 0x81, 0, 0,
                                     // sub-stream A0, one frame, first access unit 4; 16 bit, 48 kHz, 2 ch
                                     0xA0, 1, 0, 4, 0x00, 0x01, 0x80};
        std::memcpy(pack.data() + 14, pes, sizeof pes);
        for (size_t i = 14 + sizeof pes; i < pack.size(); ++i)
            pack[i] = static_cast<char>(i * 7 + p);
        vob += pack;
    }
    return vob;
}

} // namespace

// The disc reader's child runs under an address-space limit, which builds with a sanitizer go without (its
// shadow memory takes terabytes): allocations past that limit fail here as they do there, instead of
// ending the child in the fuzzer's own out-of-memory report, which the child's fork inherits.
extern "C" const char* __asan_default_options() {
    return "max_allocation_size_mb=512:allocator_may_return_null=1";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    uint32_t vmgBytes;
    std::memcpy(&vmgBytes, data, 4);
    if (vmgBytes > size - 4)
        return 0;
    const char* vmg = reinterpret_cast<const char*>(data + 4);
    const char* vts = vmg + vmgBytes;
    const size_t vtsBytes = size - 4 - vmgBytes;

    const std::string folder = ScratchPath("DISC");
    const std::string videoTs = folder + "/VIDEO_TS";
    std::filesystem::create_directories(videoTs);
    static const std::string vob = SmallVob();
    Write(videoTs + "/VTS_01_1.VOB", vob.data(), vob.size());
    std::filesystem::resize_file(videoTs + "/VTS_01_1.VOB", kVobBlocks * 2048);
    for (const char* ending : {".IFO", ".BUP"}) {
        Write(videoTs + "/VIDEO_TS" + ending, vmg, vmgBytes);
        Write(videoTs + "/VTS_01_0" + ending, vts, vtsBytes);
    }

    static const TDiscParse parse =
        std::getenv("OXLIP_FUZZ_IN_PROCESS") != nullptr ? TDiscParse::InProcess : TDiscParse::InChild;
    std::string error;
    const std::unique_ptr<TDisc> disc = TDisc::Open(folder, error, parse);
    if (!disc) {
        if (error.empty())
            std::abort();
        return 0;
    }
    (void)FormatDiscListing(disc->Label(), disc->Titles());
    std::vector<uint8_t> buffer(256 * 1024);
    for (const TDiscTitle& title : disc->Titles()) {
        int64_t chapterBytes = 0;
        for (const TDiscChapter& chapter : title.chapters) {
            if (chapter.bytes <= 0 || chapter.startByte < 0 ||
                chapter.startByte + chapter.bytes > title.Bytes())
                std::abort(); // an empty chapter or one outside its title
            chapterBytes += chapter.bytes;
        }
        for (const TDiscCell& cell : title.cells)
            if (title.titleSet == 1 && (cell.firstSector > cell.lastSector || cell.lastSector >= kVobBlocks))
                std::abort(); // a cell outside the VOB was let through
        const std::unique_ptr<TTitleSource> source = disc->OpenTitle(title, error);
        if (!source)
            continue;
        int64_t read = 0;
        for (int64_t got; (got = source->Read(buffer.data(), static_cast<int64_t>(buffer.size()))) > 0;)
            read += got;
        // The title's cells, then at most the tail of blocks after its last one inside the VOB.
        const int64_t tailBlocks =
            title.cells.empty() || title.titleSet != 1
                ? 0
                : std::clamp<int64_t>(kVobBlocks - 1 - int64_t{title.cells.back().lastSector}, 0,
                                      TTitleSource::kTailBlocks);
        if (read > source->Size() + tailBlocks * kDiscBlockBytes)
            std::abort();
        (void)chapterBytes;
    }
    return 0;
}
