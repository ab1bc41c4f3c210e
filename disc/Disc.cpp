#include "disc/Disc.h"

#include "disc/DiscLocation.h"
#include "disc/Scrambling.h"
#include "disc/TitleTable.h"
#include "texts/Messages.h"

#include <dvdread/dvd_reader.h>
#include <filesystem>
#include <set>

namespace {

// Packs read at the start of each title set's VOBs and of each title to look for CSS scrambling.
constexpr int kPacksChecked = 64;

bool PacksScrambled(dvd_file_t* file, uint32_t sector) {
    std::vector<uint8_t> packs(kPacksChecked * kDiscBlockBytes);
    const ssize_t got = DVDReadBlocks(file, static_cast<int>(sector), kPacksChecked, packs.data());
    for (ssize_t b = 0; b < got; ++b)
        if (PackIsScrambled(packs.data() + b * kDiscBlockBytes))
            return true;
    return false;
}

// Encrypted discs cannot be read without a decryption library, which we neither bring nor load; the
// scrambling-control bits of the PES headers tell them apart without one.
bool AnyTitleScrambled(const TDvdReader& reader, const std::vector<TDiscTitle>& titles) {
    std::set<int> setsChecked;
    for (const TDiscTitle& title : titles) {
        dvd_file_t* file = DVDOpenFile(reader.get(), title.titleSet, DVD_READ_TITLE_VOBS);
        if (file == nullptr)
            continue;
        bool scrambled = setsChecked.insert(title.titleSet).second && PacksScrambled(file, 0);
        if (!scrambled && !title.cells.empty())
            scrambled = PacksScrambled(file, title.cells.front().firstSector);
        DVDCloseFile(file);
        if (scrambled)
            return true;
    }
    return false;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::string ImageLabel(const TDvdReader& reader, const std::string& imagePath) {
    char label[40] = {};
    if (DVDUDFVolumeInfo(reader.get(), label, sizeof label, nullptr, 0) == 0 && !Trimmed(label).empty())
        return Trimmed(label);
    if (DVDISOVolumeInfo(reader.get(), label, sizeof label, nullptr, 0) == 0 && !Trimmed(label).empty())
        return Trimmed(label);
    return std::filesystem::path(imagePath).stem().string();
}

} // namespace

bool LooksLikeDisc(const std::string& path) {
    return LocateDisc(path).has_value();
}

std::unique_ptr<TDisc> TDisc::Open(const std::string& path, std::string& error) {
    const std::optional<TDiscLocation> location = LocateDisc(path);
    if (!location) {
        error = msg::kNoDisc;
        return nullptr;
    }
    TDvdReader reader = OpenDvdReader(location->openPath);
    if (!reader) {
        error = msg::kNoDisc;
        return nullptr;
    }
    std::optional<std::vector<TDiscTitle>> titles = ReadTitleTable(reader);
    if (!titles) {
        error = msg::kDiscUnreadable;
        return nullptr;
    }
    if (AnyTitleScrambled(reader, *titles)) {
        error = msg::kDiscEncrypted;
        return nullptr;
    }
    std::string label = location->isImage ? ImageLabel(reader, location->openPath) : location->folderLabel;
    return std::unique_ptr<TDisc>(new TDisc(std::move(reader), std::move(label), std::move(*titles)));
}

TDisc::TDisc(TDvdReader reader, std::string label, std::vector<TDiscTitle> titles)
    : reader_(std::move(reader)), label_(std::move(label)), titles_(std::move(titles)) {}

const TDiscTitle* TDisc::Title(int number) const {
    for (const TDiscTitle& title : titles_)
        if (title.number == number)
            return &title;
    return nullptr;
}

const TDiscTitle* TDisc::LongestTitle() const {
    const TDiscTitle* longest = nullptr;
    for (const TDiscTitle& title : titles_)
        if (longest == nullptr || title.durationTicks > longest->durationTicks)
            longest = &title;
    return longest;
}

std::unique_ptr<TTitleSource> TDisc::OpenTitle(const TDiscTitle& title, std::string& error) const {
    return TTitleSource::Open(reader_, title, error);
}
