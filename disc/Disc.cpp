#include "disc/Disc.h"

#include "disc/DiscLocation.h"
#include "disc/InfoImage.h"
#include "disc/IsolatedCall.h"
#include "disc/Scrambling.h"
#include "disc/TitleTable.h"
#include "disc/VobBlocks.h"
#include "mmio/ReadOnlyFile.h"
#include "texts/Messages.h"

#include <algorithm>
#include <cstdio>
#include <dvdread/dvd_reader.h>
#include <dvdread/dvd_udf.h>
#include <filesystem>
#include <map>
#include <set>

namespace {

// Packs read at the start of each title set's VOBs and of each title to look for CSS scrambling.
constexpr int kPacksChecked = 64;

bool PacksScrambled(TVobBlocks& vobs, uint32_t sector) {
    std::vector<uint8_t> packs(kPacksChecked * kDiscBlockBytes);
    const int64_t got = vobs.Read(sector, kPacksChecked, packs.data());
    for (int64_t b = 0; b < got; ++b)
        if (PackIsScrambled(packs.data() + b * kDiscBlockBytes))
            return true;
    return false;
}

// A hash of the first and the last block of a title set's VOBs (of `blocks` blocks); nothing when either
// read fails twice.
std::optional<int64_t> VobCheck(TVobBlocks& vobs, int64_t blocks) {
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    uint8_t block[kDiscBlockBytes];
    for (const int64_t sector : {int64_t{0}, blocks - 1}) {
        if (vobs.Read(sector, 1, block) != 1 && vobs.Read(sector, 1, block) != 1)
            return std::nullopt;
        for (const uint8_t byte : block)
            hash = (hash ^ byte) * 1099511628211ull;
    }
    return static_cast<int64_t>(hash);
}

// Encrypted discs cannot be read without a decryption library, which we neither bring nor load; the
// scrambling-control bits of the PES headers tell them apart without one.
// Also notes the size of each title set's VOBs, which bounds the title's cells, where an image holds them,
// and the titles whose VOBs cannot be opened.
bool AnyTitleScrambled(const TDvdReader& reader, bool isImage, std::vector<TRawTitle>& titles) {
    std::set<int> setsChecked;
    bool scrambled = false;
    for (TRawTitle& title : titles) {
        if (title.fault != TTitleFault::None)
            continue;
        const std::unique_ptr<TVobBlocks> vobs = OpenDvdreadVobs(reader, title.titleSet);
        if (vobs == nullptr) {
            title.fault = TTitleFault::VobMissing;
            continue;
        }
        title.vobBlocks = vobs->Blocks();
        if (isImage) {
            // Where libdvdread's open found them: it reads them on from VTS_nn_1.VOB's first sector.
            char name[32];
            std::snprintf(name, sizeof name, "/VIDEO_TS/VTS_%02d_1.VOB", title.titleSet);
            uint32_t bytes = 0;
            title.vobSector = UDFFindFile(reader.get(), name, &bytes);
        }
        const std::optional<int64_t> check = title.vobBlocks > 0 && (!isImage || title.vobSector > 0)
                                                 ? VobCheck(*vobs, title.vobBlocks)
                                                 : std::optional<int64_t>();
        if (!check) {
            title.fault = TTitleFault::VobUnreadable;
            continue;
        }
        title.vobCheck = *check;
        dvd_stat_t stat{};
        if (DVDFileStat(reader.get(), title.titleSet, DVD_READ_TITLE_VOBS, &stat) == 0)
            title.vobParts = std::clamp(stat.nr_parts, 1, 9);
        if (!scrambled)
            scrambled = setsChecked.insert(title.titleSet).second && PacksScrambled(*vobs, 0);
        for (const TChainCell& cell : title.chain)
            if (!scrambled && cell.played) {
                scrambled = PacksScrambled(*vobs, cell.cell.firstSector);
                break;
            }
    }
    return scrambled;
}

// The longest IFO file taken: far more than any disc's tables.
constexpr ssize_t kMaxInfoBlocks = 16384;

// The whole of a title set's IFO file (or its BUP), or nothing when it is missing or a read of it fails;
// `present` is set when the file is there.
std::optional<std::string> ReadInfoFile(const TDvdReader& reader, int titleSet, bool backup, bool& present) {
    dvd_file_t* file =
        DVDOpenFile(reader.get(), titleSet, backup ? DVD_READ_INFO_BACKUP_FILE : DVD_READ_INFO_FILE);
    if (file == nullptr)
        return std::nullopt;
    present = true;
    std::optional<std::string> bytes;
    const ssize_t blocks = DVDFileSize(file);
    if (blocks > 0 && blocks <= kMaxInfoBlocks) {
        std::string data(static_cast<size_t>(blocks * kDiscBlockBytes), '\0');
        if (DVDReadBytes(file, data.data(), data.size()) == static_cast<ssize_t>(data.size()))
            bytes = std::move(data);
    }
    DVDCloseFile(file);
    return bytes;
}

// The title sets the VMG's title table names (the bytes of VIDEO_TS.IFO or its BUP), as libdvdread reads
// it: its sector at 0xC4, then a count and 12 bytes a title, the title set at the sixth.
std::set<int> TitleSetsNamed(const std::string& vmg) {
    const auto byte = [&vmg](size_t at) { return static_cast<uint8_t>(vmg[at]); };
    std::set<int> sets;
    if (vmg.size() < 0xC8)
        return sets;
    const size_t table =
        size_t{uint32_t{byte(0xC4)} << 24 | uint32_t{byte(0xC5)} << 16 | byte(0xC6) << 8 | byte(0xC7)} *
        kDiscBlockBytes;
    if (table >= vmg.size() || vmg.size() - table < 8)
        return sets;
    const size_t titles = size_t{byte(table)} << 8 | byte(table + 1);
    for (size_t t = 0; t < titles && table + 8 + 12 * (t + 1) <= vmg.size(); ++t)
        if (const int set = byte(table + 8 + 12 * t + 6); set >= 1 && set <= 99)
            sets.insert(set);
    return sets;
}

// libdvdread takes a failed read of an IFO file for a good one and parses what the buffer held, so the
// IFO files are read here, every read checked, and libdvdread parses copies of what was read: one view of
// the disc from the IFO files, the other from their BUP files, each falling back on the other file where
// its own could not be read. Two parses that agree are the disc as written. Where they differ though the
// views hold the same bytes, a read failed during one parse, and a third parse decides; where the files
// themselves differ, a title only one view could read is taken from it, and one both read differently
// cannot be read. The views are images made in memory, so that no file is written.
class TInfoViews {
public:
    // Copies the VMG's files and those of every title set either of them names.
    explicit TInfoViews(const TDvdReader& disc) : disc_(disc) {
        Copy(0);
        std::set<int> sets;
        for (const bool backup : {false, true})
            if (const auto vmg = views_[backup].find("VIDEO_TS.IFO"); vmg != views_[backup].end())
                sets.merge(TitleSetsNamed(vmg->second));
        for (const int set : sets)
            Copy(set);
        for (const bool backup : {false, true})
            images_[backup] = BuildInfoImage(views_[backup]);
    }
    TDvdReader Open(bool backup) const { return OpenInfoImage(images_[backup]); }
    bool Present(int titleSet) const { return present_.count(titleSet) > 0; }
    // Whether both views hold the same bytes of every file.
    bool SameBytes() const { return sameBytes_; }

private:
    void Copy(int titleSet) {
        bool present = false;
        std::optional<std::string> ifo = ReadInfoFile(disc_, titleSet, false, present);
        std::optional<std::string> bup = ReadInfoFile(disc_, titleSet, true, present);
        if (present)
            present_.insert(titleSet);
        if (ifo && bup && *ifo != *bup)
            sameBytes_ = false;
        char name[16];
        if (titleSet == 0)
            std::snprintf(name, sizeof name, "VIDEO_TS.IFO");
        else
            std::snprintf(name, sizeof name, "VTS_%02d_0.IFO", titleSet);
        for (const bool backup : {false, true}) {
            const std::optional<std::string>& own = backup ? bup : ifo;
            const std::optional<std::string>& other = backup ? ifo : bup;
            if (own || other)
                views_[backup][name] = own ? *own : *other;
        }
    }

    const TDvdReader& disc_;
    std::map<std::string, std::string> views_[2];
    std::string images_[2];
    std::set<int> present_;
    bool sameBytes_ = true;
};

using TTitles = std::optional<std::vector<TRawTitle>>;

TTitles ReadView(const TInfoViews& views, bool backup) {
    const TDvdReader reader = views.Open(backup);
    if (!reader)
        return std::nullopt;
    return ReadTitleTable(reader);
}

bool SameTitle(const TRawTitle& a, const TRawTitle& b) {
    return EncodeDisc({false, "", {a}}) == EncodeDisc({false, "", {b}});
}

bool SameTitles(const TTitles& a, const TTitles& b) {
    if (!a || !b)
        return !a && !b;
    if (a->size() != b->size())
        return false;
    for (size_t t = 0; t < a->size(); ++t)
        if (!SameTitle((*a)[t], (*b)[t]))
            return false;
    return true;
}

// Of views whose files differ: the titles both agree on; where they differ, the title one view read and
// the other could not, or else an unreadable title. Nothing when they disagree on the disc's titles.
TTitles Agreed(const TTitles& ifo, const TTitles& bup) {
    if (!ifo || !bup)
        return ifo ? ifo : bup;
    if (ifo->size() != bup->size())
        return std::nullopt;
    std::vector<TRawTitle> titles;
    for (size_t t = 0; t < ifo->size(); ++t) {
        const TRawTitle &a = (*ifo)[t], &b = (*bup)[t];
        if (a.titleSet != b.titleSet)
            return std::nullopt;
        if (SameTitle(a, b) || b.fault != TTitleFault::None) {
            titles.push_back(a);
        } else if (a.fault != TTitleFault::None) {
            titles.push_back(b);
        } else {
            TRawTitle unreadable;
            unreadable.titleSet = a.titleSet;
            unreadable.fault = TTitleFault::IfoUnreadable;
            titles.push_back(unreadable);
        }
    }
    return titles;
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
std::string ParseDisc(const TDiscLocation& location) {
    TDvdReader reader = OpenDvdReader(location.openPath);
    if (!reader)
        return std::string(1, kReplyNoDisc);
    const TInfoViews views(reader);
    const TTitles ifo = ReadView(views, false), bup = ReadView(views, true);
    TTitles titles;
    if (SameTitles(ifo, bup)) {
        titles = ifo;
    } else if (views.SameBytes()) {
        const TTitles again = ReadView(views, false);
        if (SameTitles(again, ifo) || SameTitles(again, bup))
            titles = again;
    } else {
        titles = Agreed(ifo, bup);
    }
    if (!titles)
        return std::string(1, kReplyUnreadable);
    for (TRawTitle& title : *titles)
        if (title.fault == TTitleFault::IfoUnreadable && !views.Present(title.titleSet))
            title.fault = TTitleFault::IfoMissing;
    TRawDisc disc;
    disc.titles = std::move(*titles);
    disc.scrambled = AnyTitleScrambled(reader, location.isImage, disc.titles);
    if (location.isImage)
        disc.label = ImageLabel(reader);
    return kReplyDisc + EncodeDisc(disc);
}

} // namespace

std::unique_ptr<TDisc> TDisc::Open(const std::string& path, std::string& error, TDiscParse parse) {
    const TIsolationBudget budget;
    bool readFailed = false, lookFailed = false;
    const std::optional<TDiscLocation> location = LocateDisc(path, &readFailed, &lookFailed);
    if (!location) {
        error = readFailed                ? msg::kReadFailed
                : lookFailed              ? msg::kDiscUnreadable
                : IsImageWithoutUdf(path) ? msg::kImageWithoutUdf
                                          : msg::kNoDisc;
        return nullptr;
    }
    const auto work = [&] { return ParseDisc(*location); };
    const std::optional<std::string> reply =
        parse == TDiscParse::InChild ? CallIsolated(work) : std::optional<std::string>(work());
    // The disc was found: what libdvdread then cannot open could not be read.
    if (reply && *reply == std::string(1, kReplyNoDisc)) {
        error = msg::kDiscReadFailed;
        return nullptr;
    }
    std::optional<TRawDisc> disc;
    std::shared_ptr<const TReadOnlyFile> image;
    if (reply && !reply->empty() && (*reply)[0] == kReplyDisc) {
        // This process reads an image only at the sectors the child names, which must lie inside it.
        if (location->isImage && (image = TReadOnlyFile::Open(location->openPath)) == nullptr) {
            error = msg::kDiscReadFailed;
            return nullptr;
        }
        disc = DecodeDisc(reply->substr(1), image ? image->Size() / kDiscBlockBytes : -1);
    }
    if (!disc) {
        error = msg::kDiscUnreadable;
        return nullptr;
    }
    if (disc->scrambled) {
        error = msg::kDiscEncrypted;
        return nullptr;
    }
    std::string label = location->isImage ? disc->label : location->folderLabel;
    if (location->isImage && label.empty())
        label = std::filesystem::path(location->openPath).stem().string();
    std::vector<TVobPlace> places;
    for (const TRawTitle& title : disc->titles)
        places.push_back({title.titleSet, title.fault == TTitleFault::None, title.vobSector, title.vobBlocks,
                          title.vobCheck});
    std::unique_ptr<TDisc> opened(new TDisc(std::move(label), LayOutTitles(disc->titles), std::move(places)));
    // The VOBs are read here: plain block reads inside the checked cells, of the image's sectors the child
    // named, or of a folder's files through libdvdread, whose reader is opened once more when it does not
    // find them where the child did.
    opened->image_ = std::move(image);
    bool found = opened->image_ && opened->VobsAsTheChildSaw();
    for (int look = 0; !location->isImage && look < 2 && !found; ++look) {
        opened->reader_ = OpenDvdReader(location->openPath);
        if (!opened->reader_)
            break;
        found = opened->VobsAsTheChildSaw();
    }
    if (!found) {
        error = msg::kDiscReadFailed;
        return nullptr;
    }
    return opened;
}

TDisc::TDisc(std::string label, std::vector<TDiscTitle> titles, std::vector<TVobPlace> places)
    : label_(std::move(label)), titles_(std::move(titles)), places_(std::move(places)) {}

std::unique_ptr<TVobBlocks> TDisc::OpenVobs(const TVobPlace& place) const {
    if (!place.readable || place.blocks < 1)
        return nullptr;
    std::unique_ptr<TVobBlocks> vobs =
        image_ ? OpenImageVobs(image_, place.sector, place.blocks) : OpenDvdreadVobs(reader_, place.titleSet);
    // The same size, the same first and last block: VOBs changed since the child looked at them (an image
    // written to, a VOB file replaced) would give other audio.
    if (vobs == nullptr || vobs->Blocks() != place.blocks || VobCheck(*vobs, place.blocks) != place.check)
        return nullptr;
    return vobs;
}

// Whether every readable title's VOBs are found here as the child found them.
bool TDisc::VobsAsTheChildSaw() const {
    for (const TVobPlace& place : places_)
        if (place.readable && OpenVobs(place) == nullptr)
            return false;
    return true;
}

const TDiscTitle* TDisc::Title(int number) const {
    for (const TDiscTitle& title : titles_)
        if (title.number == number)
            return &title;
    return nullptr;
}

const TDiscTitle* TDisc::LongestTitle() const {
    const TDiscTitle* longest = nullptr;
    for (const TDiscTitle& title : titles_)
        if (title.unreadable.empty() && (longest == nullptr || title.durationTicks > longest->durationTicks))
            longest = &title;
    return longest;
}

const TDiscTitle* TDisc::DefaultTitle() const {
    const TDiscTitle* longest = nullptr;
    for (const TDiscTitle& title : titles_)
        if (title.unreadable.empty() && title.FirstLpcm() != nullptr &&
            (longest == nullptr || title.durationTicks > longest->durationTicks))
            longest = &title;
    return longest != nullptr ? longest : LongestTitle();
}

const TDiscTitle* TDisc::UnreadableRival(const TDiscTitle* longest) const {
    for (const TDiscTitle& title : titles_) {
        const bool incomplete = !title.unreadable.empty() || title.ifoTicks > title.durationTicks;
        const int64_t claimed = title.durationTicks < 0 ? -1 : std::max(title.ifoTicks, title.durationTicks);
        if (&title != longest && incomplete &&
            (claimed < 0 || longest == nullptr || claimed > longest->durationTicks))
            return &title;
    }
    return nullptr;
}

std::unique_ptr<TTitleSource> TDisc::OpenTitle(const TDiscTitle& title, std::string& error) const {
    // Checked once more: the disc may have been written to since it was opened.
    const size_t index = static_cast<size_t>(title.number) - 1;
    std::unique_ptr<TVobBlocks> vobs =
        title.number >= 1 && index < places_.size() ? OpenVobs(places_[index]) : nullptr;
    if (vobs == nullptr) {
        error = msg::kDiscReadFailed;
        return nullptr;
    }
    return std::make_unique<TTitleSource>(std::move(vobs), title);
}
