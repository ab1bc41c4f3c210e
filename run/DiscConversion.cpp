#include "run/DiscConversion.h"

#include "disc/Disc.h"
#include "disc/DiscLocation.h"
#include "mmio/FilePeek.h"
#include "mmio/PathState.h"
#include "texts/Messages.h"

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

// Whether `output` is one of the disc's own files (the image, or an IFO, BUP or VOB file in any folder
// libdvdread looks in: the disc's folder and its VIDEO_TS or video_ts folder) under any name: libdvdread
// reads them without the file layer's share modes, so the run could not refuse it later. The run's own
// earlier outputs beside them are no part of the disc.
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

// The request's chapter range of `title`, from 1 to the last unless given; false when it has no such
// chapters.
bool ChapterRange(const TDiscRequest& request, const TDiscTitle& title, int& first, int& last) {
    const int count = static_cast<int>(title.chapters.size());
    first = request.firstChapter > 0 ? request.firstChapter : 1;
    last = request.lastChapter > 0 ? request.lastChapter : count;
    return first <= last && last <= count;
}

// What the run writes for `title`: its file, or one per chapter of the range, in the folder the request
// gives for them.
std::vector<std::string> PartNames(const TDiscRequest& request, const std::string& label,
                                   const TDiscTitle& title, int first, int last) {
    if (!request.chapters)
        return {request.output.empty()
                    ? Joined(request.folder, DiscOutputName(label, title.number, 0, request.extension))
                    : request.output};
    const std::string folder = request.output.empty() ? request.folder : request.output;
    std::vector<std::string> names;
    for (int k = first; k <= last; ++k)
        names.push_back(Joined(folder, DiscOutputName(label, title.number, k, request.extension)));
    return names;
}

// The title and the audio stream a request names, or takes by default; nullptr when there is none such.
const TDiscTitle* RequestedTitle(const TDisc& disc, const TDiscRequest& request) {
    return request.title > 0 ? disc.Title(request.title) : DefaultTitleFor(disc, request.disc);
}
const TDiscAudio* RequestedAudio(const TDiscTitle& title, const TDiscRequest& request) {
    return request.track > 0 ? title.Audio(request.track) : title.FirstLpcm();
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

std::string ProposeDiscOutputName(const std::string& disc) {
    std::string error;
    const std::unique_ptr<TDisc> opened = TDisc::Open(disc, error);
    const std::optional<TDiscLocation> location = LocateDisc(disc);
    const TDiscTitle* title = opened ? DefaultTitleFor(*opened, disc) : nullptr;
    if (!title || !location)
        return {};
    return Joined(FolderBesideDisc(*location), DiscOutputName(opened->Label(), title->number));
}

std::vector<std::string> PlanDiscOutputs(const TDiscRequest& request) {
    std::string error;
    const std::unique_ptr<TDisc> disc = TDisc::Open(request.disc, error);
    const TDiscTitle* title = disc ? RequestedTitle(*disc, request) : nullptr;
    const TDiscAudio* audio = title ? RequestedAudio(*title, request) : nullptr;
    int first = 0, last = 0;
    if (!audio || audio->codec != TAudioCodec::Lpcm ||
        (request.chapters && !ChapterRange(request, *title, first, last)))
        return {};
    return PartNames(request, disc->Label(), *title, first, last);
}

TDiscRun::TDiscRun(TRunHost& host, TDiscRequest request, TRunOptions options)
    : TStreamRun(host, std::move(options)), request_(std::move(request)) {}

TDiscRun::~TDiscRun() = default;

// The steps of a disc's conversion; each that ends the run says why through the outcome.
TRunResult TDiscRun::Execute() {
    outcome_.Begin();
    phase_ = Phase::Preparing;
    if (!OpenDisc() || !ChooseTitle() || !ChooseAudio() || !PlanParts() || !AskAboutExistingOutputs()) {
        phase_ = Phase::Idle;
        return outcome_.Result();
    }
    return ConvertTitle();
}

bool TDiscRun::OpenDisc() {
    std::string error;
    disc_ = TDisc::Open(request_.disc, error);
    return disc_ ? true : Refuse(error);
}

// Without a title given, the longest is taken only when no title that cannot be read might be longer.
bool TDiscRun::ChooseTitle() {
    title_ = RequestedTitle(*disc_, request_);
    if (request_.title == 0 && title_ == disc_->DefaultTitle())
        if (const TDiscTitle* rival = disc_->UnreadableRival(title_))
            return Refuse(rival->unreadable.empty()
                              ? msg::LongestTitleCutShort(rival->number)
                              : msg::LongestTitleUnknown(rival->number, rival->unreadable));
    if (!title_)
        return Refuse(msg::NoSuchTitle(request_.title, static_cast<int>(disc_->Titles().size())));
    if (!title_->unreadable.empty())
        return Refuse(msg::TitleUnreadable(title_->number, title_->unreadable));
    return true;
}

bool TDiscRun::ChooseAudio() {
    audio_ = RequestedAudio(*title_, request_);
    if (request_.track > 0 && !audio_)
        return Refuse(msg::NoSuchAudioStream(request_.track, title_->number));
    if (!audio_) {
        std::vector<TAudioCodec> codecs;
        for (const TDiscAudio& audio : title_->audio)
            codecs.push_back(audio.codec);
        return Refuse(msg::TitleWithoutLpcm(title_->number, JoinedCodecNames(codecs)));
    }
    if (audio_->codec != TAudioCodec::Lpcm)
        return Refuse(msg::AudioNotConvertible(audio_->number, AudioCodecName(audio_->codec)));
    return true;
}

// The outputs and the chapters they begin with, found as the audio is read.
bool TDiscRun::PlanParts() {
    titleChapters_.startBytes.clear();
    titleChapters_.videoTicks.clear();
    for (const TDiscChapter& chapter : title_->chapters) {
        titleChapters_.startBytes.push_back(chapter.startByte);
        titleChapters_.videoTicks.push_back(chapter.lengthTicks);
    }
    titleChapters_.endChapter = 0;
    titleChapters_.endByte = title_->Bytes();
    if (!request_.chapters) {
        const std::string title = "Title " + std::to_string(title_->number);
        // One chapter mark per chapter, where its file would begin; the run sets them as it finds them.
        std::vector<int64_t> starts;
        for (size_t k = 0; k < title_->chapters.size(); ++k)
            starts.push_back(k == 0 ? 0 : ChapterStart(title_->chapters[k]));
        plannedParts_ = {{PartNames(request_, disc_->Label(), *title_, 0, 0).front(),
                          0,
                          0,
                          false,
                          {{"ALBUM", disc_->Label()}, {"TITLE", title}},
                          {title, disc_->Label(), {}, std::move(starts)}}};
        return true;
    }
    return PlanChapters();
}

// Where a chapter begins by its video's playing time, until the run finds where its audio begins.
int64_t TDiscRun::ChapterStart(const TDiscChapter& chapter) const {
    const int groupFrames = audio_->bits == 16 ? 1 : 2;
    return NearestGroupStart(chapter.startTicks, audio_->rate, groupFrames);
}

// One part per chapter of the range, each beginning where its chapter's audio begins.
bool TDiscRun::PlanChapters() {
    const int count = static_cast<int>(title_->chapters.size());
    int first = 0, last = 0;
    if (!ChapterRange(request_, *title_, first, last))
        return Refuse(msg::NoSuchChapters(first, last, title_->number, count));
    const std::string folder = request_.output.empty() ? request_.folder : request_.output;
    if (StateOfPath(folder) != TPathState::Folder)
        return Refuse(msg::NoSuchFolder(folder));
    const std::vector<std::string> names = PartNames(request_, disc_->Label(), *title_, first, last);
    plannedParts_.clear();
    for (int k = first; k <= last; ++k)
        plannedParts_.push_back({names[static_cast<size_t>(k - first)],
                                 0,
                                 k,
                                 false,
                                 {{"ALBUM", disc_->Label()},
                                  {"TITLE", "Chapter " + std::to_string(k)},
                                  {"TRACKNUMBER", std::to_string(k)},
                                  {"TRACKTOTAL", std::to_string(count)}},
                                 {"Chapter " + std::to_string(k), disc_->Label(), {}, {}}});
    if (last < count)
        titleChapters_.endChapter = last + 1;
    return true;
}

// Outputs that exist are given up only on Yes; a No keeps every file as it is and converts nothing.
bool TDiscRun::AskAboutExistingOutputs() {
    for (TStreamPart& part : plannedParts_) {
        if (!IsExistingFile(part.outputName))
            continue;
        if (IsPartOfDisc(part.outputName, request_.disc))
            return Refuse(msg::kOutputIsPartOfDisc);
        host_.OutputStarted(part.outputName);
        if (!host_.Confirm(msg::kOverwrite)) {
            outcome_.Refuse();
            return false;
        }
        part.overwriteAgreed = true;
    }
    return true;
}

TRunResult TDiscRun::ConvertTitle() {
    std::string error;
    const std::unique_ptr<TTitleSource> source = disc_->OpenTitle(*title_, error);
    if (!source) {
        Refuse(error);
        phase_ = Phase::Idle;
        return outcome_.Result();
    }
    for (const std::string& note : title_->notes)
        host_.ShowNote(note);
    return TStreamRun::Execute(*source, static_cast<uint8_t>(audio_->subStreamId), plannedParts_, -1,
                               &titleChapters_);
}
