#include "disc/DiscLocation.h"

#include "disc/DvdReader.h"
#include "disc/IsolatedCall.h"
#include "mmio/FilePeek.h"

#include <array>
#include <cctype>
#include <cstring>
#include <dvdread/dvd_reader.h>
#include <fcntl.h>
#include <filesystem>
#include <initializer_list>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The IFO files' first twelve bytes.
constexpr const char* kVmgMagic = "DVDVIDEO-VMG";
constexpr const char* kVtsMagic = "DVDVIDEO-VTS";

// Set while locating a disc when a file could not be read.
thread_local bool* gReadFailed = nullptr;

bool ReadAt(const fs::path& file, off_t offset, char* buffer, size_t count) {
    const TPeekResult result = PeekFile(file.string(), offset, buffer, count);
    if (result == TPeekResult::Failed && gReadFailed != nullptr)
        *gReadFailed = true;
    return result == TPeekResult::Read;
}

// Notes read failures in `readFailed` (when given) for as long as it lives.
class TReadFailureNote {
public:
    explicit TReadFailureNote(bool* readFailed) : previous_(gReadFailed) {
        if (readFailed != nullptr)
            gReadFailed = readFailed;
    }
    ~TReadFailureNote() { gReadFailed = previous_; }
    TReadFailureNote(const TReadFailureNote&) = delete;
    TReadFailureNote& operator=(const TReadFailureNote&) = delete;

private:
    bool* previous_;
};

bool HasIfoMagic(const fs::path& file, std::initializer_list<const char*> magics) {
    std::array<char, 12> head{};
    if (!ReadAt(file, 0, head.data(), head.size()))
        return false;
    for (const char* magic : magics)
        if (std::memcmp(head.data(), magic, head.size()) == 0)
            return true;
    return false;
}

bool IsRegularFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// The folder's child of that name in upper or lower case (as discs are mounted either way).
std::optional<fs::path> Child(const fs::path& folder, const std::string& upperName) {
    std::string lower = upperName;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& name : {upperName, lower}) {
        std::error_code error;
        if (fs::exists(folder / name, error))
            return folder / name;
    }
    return std::nullopt;
}

bool IsVideoTsName(const fs::path& folder) {
    std::string name = folder.filename().string();
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name == "VIDEO_TS";
}

// A folder that holds VIDEO_TS.IFO: the VIDEO_TS folder itself, or a flat copy of one.
std::optional<TDiscLocation> FromIfoFolder(const fs::path& folder) {
    const std::optional<fs::path> vmg = Child(folder, "VIDEO_TS.IFO");
    if (!vmg || !IsRegularFile(*vmg) || !HasIfoMagic(*vmg, {kVmgMagic}))
        return std::nullopt;
    const fs::path named = IsVideoTsName(folder) ? folder.parent_path() : folder;
    return TDiscLocation{folder.string(), named.filename().string(), false};
}

// An ISO 9660 or UDF volume descriptor from byte 32768 on.
bool HasVolumeDescriptor(const fs::path& file) {
    std::array<char, 6> descriptor{};
    if (!ReadAt(file, 32768 + 1, descriptor.data(), 5))
        return false;
    const std::string id(descriptor.data(), 5);
    return id == "CD001" || id == "BEA01";
}

// An image holds a volume descriptor and a VIDEO_TS.IFO inside.
std::optional<TDiscLocation> FromImage(const fs::path& file, bool* lookFailed) {
    if (!HasVolumeDescriptor(file))
        return std::nullopt;
    // libdvdread parses the image's UDF directory to find the file, in a child process (see CallIsolated).
    // A read that fails on the way loses the file as if it were not there: a second look decides.
    const std::optional<std::string> found = CallIsolated([&] {
        for (int look = 0; look < 2; ++look) {
            TDvdReader reader = OpenDvdReader(file.string());
            dvd_file_t* vmg = reader ? DVDOpenFile(reader.get(), 0, DVD_READ_INFO_FILE) : nullptr;
            if (vmg != nullptr) {
                DVDCloseFile(vmg);
                return std::string("Y");
            }
        }
        return std::string("N");
    });
    if (!found && lookFailed != nullptr)
        *lookFailed = true;
    if (!found || *found != "Y")
        return std::nullopt;
    return TDiscLocation{file.string(), "", true};
}

} // namespace

std::optional<TDiscLocation> LocateDisc(const std::string& path, bool* readFailed, bool* lookFailed) {
    const TReadFailureNote note(readFailed);
    std::error_code error;
    const fs::path given = fs::weakly_canonical(fs::path(path), error);
    if (error)
        return std::nullopt;
    if (fs::is_directory(given, error)) {
        if (const std::optional<fs::path> videoTs = Child(given, "VIDEO_TS"))
            if (fs::is_directory(*videoTs, error))
                if (std::optional<TDiscLocation> found = FromIfoFolder(*videoTs))
                    return found;
        return FromIfoFolder(given);
    }
    if (!IsRegularFile(given))
        return std::nullopt;
    if (HasIfoMagic(given, {kVmgMagic, kVtsMagic}))
        return FromIfoFolder(given.parent_path());
    return FromImage(given, lookFailed);
}

bool HasDiscSignature(const std::string& path, bool* readFailed) {
    const TReadFailureNote note(readFailed);
    return IsRegularFile(path) && (HasIfoMagic(path, {kVmgMagic, kVtsMagic}) || HasVolumeDescriptor(path));
}

bool IsImageWithoutUdf(const std::string& path) {
    if (!IsRegularFile(path))
        return false;
    std::array<char, 6> descriptor{};
    if (!ReadAt(path, 32768 + 1, descriptor.data(), 5) || std::string(descriptor.data(), 5) != "CD001")
        return false;
    // The volume recognition sequence follows the ISO 9660 descriptors, one per 2048-byte sector: a UDF
    // volume has an NSR02 or NSR03 descriptor in it.
    for (off_t sector = 17; sector < 32; ++sector) {
        if (!ReadAt(path, sector * 2048 + 1, descriptor.data(), 5))
            return false;
        const std::string id(descriptor.data(), 5);
        if (id == "NSR02" || id == "NSR03")
            return false;
    }
    return true;
}
