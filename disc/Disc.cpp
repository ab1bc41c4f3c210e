#include "disc/Disc.h"

#include "disc/DiscLocation.h"
#include "disc/IsolatedCall.h"
#include "disc/Scrambling.h"
#include "disc/TitleTable.h"
#include "texts/Messages.h"

#include <dvdread/dvd_reader.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>

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
// Also notes the size of each title set's VOBs, which bounds the title's cells.
bool AnyTitleScrambled(const TDvdReader& reader, std::vector<TRawTitle>& titles) {
    std::set<int> setsChecked;
    bool scrambled = false;
    for (TRawTitle& title : titles) {
        dvd_file_t* file = DVDOpenFile(reader.get(), title.titleSet, DVD_READ_TITLE_VOBS);
        if (file == nullptr)
            continue;
        title.vobBlocks = DVDFileSize(file);
        if (!scrambled)
            scrambled = setsChecked.insert(title.titleSet).second && PacksScrambled(file, 0);
        for (const TChainCell& cell : title.chain)
            if (!scrambled && cell.played) {
                scrambled = PacksScrambled(file, cell.cell.firstSector);
                break;
            }
        DVDCloseFile(file);
    }
    return scrambled;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

// Empty when the image has none.
std::string ImageLabel(const TDvdReader& reader) {
    char label[40] = {};
    if (DVDUDFVolumeInfo(reader.get(), label, sizeof label, nullptr, 0) == 0 && !Trimmed(label).empty())
        return Trimmed(label);
    if (DVDISOVolumeInfo(reader.get(), label, sizeof label, nullptr, 0) == 0 && !Trimmed(label).empty())
        return Trimmed(label);
    return "";
}

} // namespace

bool LooksLikeDisc(const std::string& path, bool* readFailed) {
    return LocateDisc(path, readFailed).has_value();
}

namespace {

// What the child process replies first.
constexpr char kReplyNoDisc = 'N', kReplyUnreadable = 'U', kReplyDisc = 'D';

// In the child process: everything libdvdread parses (the IFO files, an image's UDF directory).
std::string ReadDiscInChild(const TDiscLocation& location) {
    TDvdReader reader = OpenDvdReader(location.openPath);
    if (!reader)
        return std::string(1, kReplyNoDisc);
    std::optional<std::vector<TRawTitle>> titles = ReadTitleTable(reader);
    if (!titles)
        return std::string(1, kReplyUnreadable);
    TRawDisc disc;
    disc.titles = std::move(*titles);
    disc.scrambled = AnyTitleScrambled(reader, disc.titles);
    if (location.isImage)
        disc.label = ImageLabel(reader);
    return kReplyDisc + EncodeDisc(disc);
}

// An image's size in blocks, which bounds every sector its IFO files name; -1 for a folder.
int64_t ImageBlocks(const TDiscLocation& location) {
    struct stat info {};
    if (!location.isImage || stat(location.openPath.c_str(), &info) != 0)
        return -1;
    return info.st_size / kDiscBlockBytes;
}

} // namespace

std::unique_ptr<TDisc> TDisc::Open(const std::string& path, std::string& error) {
    bool readFailed = false;
    const std::optional<TDiscLocation> location = LocateDisc(path, &readFailed);
    if (!location) {
        error = readFailed                ? msg::kReadFailed
                : IsImageWithoutUdf(path) ? msg::kImageWithoutUdf
                                          : msg::kNoDisc;
        return nullptr;
    }
    const std::optional<std::string> reply = CallIsolated([&] { return ReadDiscInChild(*location); });
    if (reply && *reply == std::string(1, kReplyNoDisc)) {
        error = msg::kNoDisc;
        return nullptr;
    }
    std::optional<TRawDisc> disc;
    if (reply && !reply->empty() && (*reply)[0] == kReplyDisc)
        disc = DecodeDisc(reply->substr(1), ImageBlocks(*location));
    if (!disc) {
        error = msg::kDiscUnreadable;
        return nullptr;
    }
    if (disc->scrambled) {
        error = msg::kDiscEncrypted;
        return nullptr;
    }
    // The VOBs are read here: plain block reads inside the checked cells.
    TDvdReader reader = OpenDvdReader(location->openPath);
    if (!reader) {
        error = msg::kNoDisc;
        return nullptr;
    }
    std::string label = location->isImage ? disc->label : location->folderLabel;
    if (location->isImage && label.empty())
        label = std::filesystem::path(location->openPath).stem().string();
    return std::unique_ptr<TDisc>(new TDisc(std::move(reader), std::move(label), LayOutTitles(disc->titles)));
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

const TDiscTitle* TDisc::DefaultTitle() const {
    const TDiscTitle* longest = nullptr;
    for (const TDiscTitle& title : titles_)
        if (title.FirstLpcm() != nullptr &&
            (longest == nullptr || title.durationTicks > longest->durationTicks))
            longest = &title;
    return longest != nullptr ? longest : LongestTitle();
}

std::unique_ptr<TTitleSource> TDisc::OpenTitle(const TDiscTitle& title, std::string& error) const {
    return TTitleSource::Open(reader_, title, error);
}
