#include "disc/DiscNames.h"

#include "disc/Disc.h"
#include "disc/DiscLocation.h"
#include "mmio/FilePeek.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace {

std::string Joined(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

// Where the name of a disc's output goes: beside the disc folder (the one holding VIDEO_TS), or beside the
// image.
std::string FolderBesideDisc(const TDiscLocation& location) {
    std::filesystem::path path = std::filesystem::absolute(location.openPath).lexically_normal();
    if (!location.isImage && path.filename() != location.folderLabel)
        path = path.parent_path(); // the VIDEO_TS folder
    return path.parent_path().string();
}

// A name libdvdread reads as a file of the disc: VIDEO_TS.IFO, .BUP or .VOB, or VTS_nn_k.IFO, .BUP or .VOB,
// in either case.
bool IsDiscFileName(std::string name) {
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (name.size() != 12 || name[8] != '.')
        return false;
    const std::string ending = name.substr(9);
    if (ending != "IFO" && ending != "BUP" && ending != "VOB")
        return false;
    return name.compare(0, 8, "VIDEO_TS") == 0 || (name.compare(0, 4, "VTS_") == 0 && isDigit(name[4]) &&
                                                   isDigit(name[5]) && name[6] == '_' && isDigit(name[7]));
}

} // namespace

bool IsPartOfDisc(const std::string& output, const std::string& disc) {
    if (!FileIdOf(output))
        return false;
    const std::optional<TDiscLocation> location = LocateDisc(disc);
    if (!location)
        return false;
    if (location->isImage)
        return SameFile(output, location->openPath);
    const std::filesystem::path root(location->openPath);
    for (const std::filesystem::path& folder : {root, root / "VIDEO_TS", root / "video_ts"}) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            if (IsDiscFileName(entry.path().filename().string()) && SameFile(output, entry.path().string()))
                return true;
    }
    return false;
}

namespace {

// The title set of an IFO named VTS_nn_0.IFO (any case), or 0.
int TitleSetNamed(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
    int set = 0;
    char tail[8] = {};
    if (name.size() == 12 && std::sscanf(name.c_str(), "VTS_%2d_0.%3s", &set, tail) == 2 &&
        std::string(tail) == "IFO")
        return set;
    return 0;
}

} // namespace

const TDiscTitle* DefaultTitleFor(const TDisc& disc, const std::string& input) {
    if (const int set = TitleSetNamed(input); set > 0)
        for (const TDiscTitle& title : disc.Titles())
            if (title.titleSet == set && title.unreadable.empty())
                return &title;
    return disc.DefaultTitle();
}

std::string DiscOutputName(const std::string& label, int title, int chapter, const std::string& extension) {
    std::string safe = label.empty() ? "DVD" : label;
    for (char& c : safe)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    char suffix[32];
    if (chapter > 0)
        std::snprintf(suffix, sizeof suffix, "-t%02d-c%02d", title, chapter);
    else
        std::snprintf(suffix, sizeof suffix, "-t%02d", title);
    return safe + suffix + extension;
}

std::string FolderBesideDisc(const std::string& disc) {
    const std::optional<TDiscLocation> location = LocateDisc(disc);
    return location ? FolderBesideDisc(*location) : std::string();
}

std::string ProposeDiscOutputName(const std::string& disc, const std::string& extension) {
    std::string error;
    const std::unique_ptr<TDisc> opened = TDisc::Open(disc, error);
    const std::optional<TDiscLocation> location = LocateDisc(disc);
    const TDiscTitle* title = opened ? DefaultTitleFor(*opened, disc) : nullptr;
    if (!title || !location)
        return {};
    return Joined(FolderBesideDisc(*location), DiscOutputName(opened->Label(), title->number, 0, extension));
}
