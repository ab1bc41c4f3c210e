#include "disc/AudioTsVolume.h"

#include "disc/AudioTsIfo.h"
#include "disc/IsolatedCall.h"
#include "mmio/FilePeek.h"
#include "mmio/ReadOnlyFile.h"

#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <udfread/udfread.h>

namespace fs = std::filesystem;

namespace {

constexpr int64_t kSector = 2048;
// More runs than a file written by any authoring tool; a longer reply is taken for damage.
constexpr size_t kMaxExtents = 4096;

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool ReadAt(const std::string& path, int64_t offset, void* buffer, size_t count, bool* readFailed) {
    const TPeekResult result = PeekFile(path, offset, buffer, count);
    if (result == TPeekResult::Failed && readFailed != nullptr)
        *readFailed = true;
    return result == TPeekResult::Read;
}

bool IsDirectory(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool IsRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool HasMagic(const std::array<char, 12>& head, const char* magic) {
    return std::memcmp(head.data(), magic, head.size()) == 0;
}

// An ISO 9660 or UDF volume descriptor from byte 32768 on.
bool HasVolumeDescriptor(const std::string& path, bool* readFailed) {
    std::array<char, 5> id{};
    if (!ReadAt(path, 32768 + 1, id.data(), id.size(), readFailed))
        return false;
    const std::string text(id.data(), id.size());
    return text == "CD001" || text == "BEA01";
}

} // namespace

bool IsAudioTsFileName(const std::string& name) {
    if (name == "AUDIO_TS.IFO" || name == "AUDIO_TS.BUP")
        return true;
    // ATS_nn_k.EXT
    if (name.size() != 12 || name.compare(0, 4, "ATS_") != 0 || name[6] != '_' || name[8] != '.' ||
        !std::isdigit(static_cast<unsigned char>(name[4])) ||
        !std::isdigit(static_cast<unsigned char>(name[5])) || name.compare(4, 2, "00") == 0)
        return false;
    const char part = name[7];
    const std::string ending = name.substr(9);
    if (part == '0')
        return ending == "IFO" || ending == "BUP";
    return part >= '1' && part <= '9' && ending == "AOB";
}

// Builds a volume from what was found; the checks that it is a DVD-Audio disc are made here.
class TAudioTsVolumeBuilder {
public:
    explicit TAudioTsVolumeBuilder(bool* readFailed) : readFailed_(readFailed), volume_(new TAudioTsVolume) {}

    void Add(TAudioTsFile file) { volume_->files_.emplace(file.name, std::move(file)); }

    // A manager or a title set information file (or backup) says what it is.
    bool HoldsAudioDisc() const {
        for (const auto& [name, file] : volume_->files_) {
            const bool manager = name.compare(0, 8, "AUDIO_TS") == 0;
            if (name.find(".AOB") != std::string::npos)
                continue;
            std::array<char, 12> head{};
            if (file.size >= 12 && ReadFirst(file, head) &&
                HasMagic(head, manager ? kAudioManagerMagic : kAudioTitleSetMagic))
                return true;
        }
        return false;
    }

    std::shared_ptr<TAudioTsVolume> Finish(std::string label, std::string discRoot, bool isImage,
                                           bool hasVideoTs) {
        if (!HoldsAudioDisc())
            return nullptr;
        volume_->label_ = std::move(label);
        volume_->discRoot_ = std::move(discRoot);
        volume_->isImage_ = isImage;
        volume_->hasVideoTs_ = hasVideoTs;
        return std::move(volume_);
    }

private:
    bool ReadFirst(const TAudioTsFile& file, std::array<char, 12>& head) const {
        return !file.extents.empty() && file.extents.front().bytes >= 12 &&
               ReadAt(file.path, file.extents.front().offset, head.data(), head.size(), readFailed_);
    }

    bool* readFailed_;
    std::shared_ptr<TAudioTsVolume> volume_;
};

namespace {

std::optional<fs::path> ChildFolder(const fs::path& folder, const std::string& upperName) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (Upper(it->path().filename().string()) == upperName && IsDirectory(it->path()))
            return it->path();
    return std::nullopt;
}

bool FolderHasVideoTs(const fs::path& root, bool* readFailed) {
    const std::optional<fs::path> videoTs = ChildFolder(root, "VIDEO_TS");
    if (!videoTs)
        return false;
    std::error_code error;
    for (fs::directory_iterator it(*videoTs, error), end; !error && it != end; it.increment(error))
        if (Upper(it->path().filename().string()) == "VIDEO_TS.IFO" && IsRegularFile(it->path())) {
            std::array<char, 12> head{};
            return ReadAt(it->path().string(), 0, head.data(), head.size(), readFailed) &&
                   HasMagic(head, "DVDVIDEO-VMG");
        }
    return false;
}

std::shared_ptr<TAudioTsVolume> FromFolder(const fs::path& folder, bool* readFailed) {
    TAudioTsVolumeBuilder builder(readFailed);
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = Upper(it->path().filename().string());
        if (!IsAudioTsFileName(name) || !IsRegularFile(it->path()))
            continue;
        std::error_code sizeError;
        const auto size = static_cast<int64_t>(fs::file_size(it->path(), sizeError));
        if (sizeError)
            continue;
        builder.Add({name, it->path().string(), size, {{0, size}}});
    }
    const bool named = Upper(folder.filename().string()) == "AUDIO_TS";
    const fs::path root = named ? folder.parent_path() : folder;
    return builder.Finish(root.filename().string(), root.string(), false, FolderHasVideoTs(root, readFailed));
}

// In the child process: the image's AUDIO_TS files with their sectors, one line each ("F name size
// sector count ..."), then "V" and the volume label, and "H" when VIDEO_TS.IFO is there.
std::string ListImage(const std::string& image) {
    std::ostringstream reply;
    udfread* udf = udfread_init();
    if (udf == nullptr || udfread_open(udf, image.c_str()) < 0) {
        if (udf != nullptr)
            udfread_close(udf);
        return "N\n";
    }
    UDFDIR* dir = udfread_opendir(udf, "/AUDIO_TS");
    if (dir == nullptr)
        dir = udfread_opendir(udf, "/audio_ts");
    if (dir != nullptr) {
        udfread_dirent entry{};
        while (udfread_readdir(dir, &entry) != nullptr) {
            const std::string name = Upper(entry.d_name);
            if (entry.d_type != UDF_DT_REG || !IsAudioTsFileName(name))
                continue;
            UDFFILE* file = udfread_file_openat(dir, entry.d_name);
            if (file == nullptr)
                continue;
            const int64_t size = udfread_file_size(file);
            std::vector<std::pair<uint32_t, uint32_t>> runs;
            bool whole = size >= 0;
            for (int64_t block = 0; whole && block < (size + kSector - 1) / kSector; ++block) {
                const uint32_t lba = udfread_file_lba(file, static_cast<uint32_t>(block));
                whole = lba != 0;
                if (!whole)
                    break;
                if (!runs.empty() && runs.back().first + runs.back().second == lba)
                    ++runs.back().second;
                else
                    runs.emplace_back(lba, 1);
                whole = runs.size() <= kMaxExtents;
            }
            udfread_file_close(file);
            if (!whole)
                continue;
            reply << "F " << name << ' ' << size;
            for (const auto& [lba, count] : runs)
                reply << ' ' << lba << ' ' << count;
            reply << '\n';
        }
        udfread_closedir(dir);
    }
    for (const char* ifo : {"/VIDEO_TS/VIDEO_TS.IFO", "/video_ts/video_ts.ifo"}) {
        if (UDFFILE* file = udfread_file_open(udf, ifo)) {
            reply << "H\n";
            udfread_file_close(file);
            break;
        }
    }
    const char* label = udfread_get_volume_id(udf);
    std::string printable;
    for (const char* c = label; c != nullptr && *c != 0; ++c)
        if (*c >= 0x20 && *c < 0x7F)
            printable += *c;
    reply << "V" << printable << '\n';
    udfread_close(udf);
    return reply.str();
}

std::shared_ptr<TAudioTsVolume> FromImage(const std::string& image, bool* readFailed) {
    if (!HasVolumeDescriptor(image, readFailed))
        return nullptr;
    struct stat info {};
    if (stat(image.c_str(), &info) != 0)
        return nullptr;
    const int64_t imageBytes = info.st_size;
    const std::optional<std::string> reply = CallIsolated([&] { return ListImage(image); });
    if (!reply)
        return nullptr;
    TAudioTsVolumeBuilder builder(readFailed);
    std::string label;
    bool hasVideoTs = false;
    std::istringstream lines(*reply);
    for (std::string line; std::getline(lines, line);) {
        if (line == "H") {
            hasVideoTs = true;
        } else if (line.size() >= 1 && line[0] == 'V') {
            label = line.substr(1);
        } else if (line.size() > 2 && line[0] == 'F') {
            // Every number is checked here: the reply comes from a parse of what may be a hostile image.
            std::istringstream fields(line.substr(2));
            TAudioTsFile file;
            file.path = image;
            int64_t sector = 0, count = 0, covered = 0;
            bool sound = static_cast<bool>(fields >> file.name >> file.size) &&
                         IsAudioTsFileName(file.name) && file.size >= 0 && file.size <= imageBytes;
            while (sound && fields >> sector >> count) {
                sound = sector > 0 && count > 0 && sector <= imageBytes / kSector &&
                        count <= imageBytes / kSector - sector;
                const int64_t bytes = std::min(count * kSector, file.size - covered);
                sound = sound && bytes > 0;
                if (sound) {
                    file.extents.push_back({sector * kSector, bytes});
                    covered += bytes;
                }
            }
            if (sound && covered == file.size)
                builder.Add(std::move(file));
        }
    }
    if (label.empty())
        label = fs::path(image).stem().string();
    return builder.Finish(label, image, true, hasVideoTs);
}

} // namespace

std::shared_ptr<TAudioTsVolume> TAudioTsVolume::Locate(const std::string& path, bool* readFailed) {
    std::error_code error;
    const fs::path given = fs::weakly_canonical(fs::path(path), error);
    if (error)
        return nullptr;
    if (IsDirectory(given)) {
        if (const std::optional<fs::path> audioTs = ChildFolder(given, "AUDIO_TS"))
            if (std::shared_ptr<TAudioTsVolume> found = FromFolder(*audioTs, readFailed))
                return found;
        return FromFolder(given, readFailed);
    }
    if (!IsRegularFile(given))
        return nullptr;
    std::array<char, 12> head{};
    if (ReadAt(given.string(), 0, head.data(), head.size(), readFailed) &&
        (HasMagic(head, kAudioManagerMagic) || HasMagic(head, kAudioTitleSetMagic)))
        return FromFolder(given.parent_path(), readFailed);
    return FromImage(given.string(), readFailed);
}

const TAudioTsFile* TAudioTsVolume::File(const std::string& name) const {
    const auto found = files_.find(name);
    return found == files_.end() ? nullptr : &found->second;
}

const TReadOnlyFile* TAudioTsVolume::Opened(const std::string& path) const {
    const auto found = opened_.find(path);
    if (found != opened_.end())
        return found->second.get();
    std::shared_ptr<const TReadOnlyFile> file = TReadOnlyFile::Open(path);
    if (file == nullptr)
        return nullptr;
    return opened_.emplace(path, std::move(file)).first->second.get();
}

bool TAudioTsVolume::Read(const TAudioTsFile& file, int64_t offset, void* buffer, size_t count) const {
    if (offset < 0 || offset > file.size || static_cast<int64_t>(count) > file.size - offset)
        return false;
    const TReadOnlyFile* opened = Opened(file.path);
    if (opened == nullptr)
        return false;
    auto* into = static_cast<uint8_t*>(buffer);
    int64_t extentStart = 0;
    for (const TAudioTsExtent& extent : file.extents) {
        while (count > 0 && offset < extentStart + extent.bytes) {
            const int64_t within = offset - extentStart;
            const size_t take =
                static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), extent.bytes - within));
            if (opened->ReadAt(extent.offset + within, into, take) != static_cast<int64_t>(take))
                return false;
            into += take;
            offset += static_cast<int64_t>(take);
            count -= take;
        }
        extentStart += extent.bytes;
        if (count == 0)
            return true;
    }
    return count == 0;
}
