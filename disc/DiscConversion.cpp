#include "disc/DiscConversion.h"

#include "disc/Disc.h"
#include "disc/DiscLocation.h"
#include "engine/PathState.h"
#include "texts/Messages.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <sys/stat.h>

namespace {

std::string Joined(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

// The codings a title has, for the message that it has no LPCM ("AC-3, DTS").
std::string CodingsOf(const TDiscTitle& title) {
    std::string names;
    std::set<EAudioCoding> seen;
    for (const TDiscAudio& audio : title.audio)
        if (seen.insert(audio.coding).second)
            names += (names.empty() ? "" : ", ") + std::string(CodingName(audio.coding));
    return names;
}

// Where the name of a disc's output goes: beside the disc folder (the one holding VIDEO_TS), or beside the
// image.
std::string FolderBesideDisc(const TDiscLocation& location) {
    std::filesystem::path path = std::filesystem::absolute(location.openPath).lexically_normal();
    if (!location.isImage && path.filename() != location.folderLabel)
        path = path.parent_path(); // the VIDEO_TS folder
    return path.parent_path().string();
}

// Whether `output` is one of the disc's own files (the image, or a file of its VIDEO_TS folder) under any
// name: libdvdread reads them without the file layer's share modes, so the run could not refuse it later.
bool IsPartOfDisc(const std::string& output, const std::string& disc) {
    struct stat out {};
    if (::stat(output.c_str(), &out) != 0)
        return false;
    const std::optional<TDiscLocation> location = LocateDisc(disc);
    if (!location)
        return false;
    const auto same = [&out](const std::filesystem::path& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && st.st_dev == out.st_dev && st.st_ino == out.st_ino;
    };
    if (location->isImage)
        return same(location->openPath);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(location->openPath, error))
        if (same(entry.path()))
            return true;
    return false;
}

} // namespace

std::string DiscOutputName(const std::string& label, int title, int chapter) {
    std::string safe = label.empty() ? "DVD" : label;
    for (char& c : safe)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20)
            c = '_';
    char suffix[32];
    if (chapter > 0)
        std::snprintf(suffix, sizeof suffix, "-t%02d-c%02d.wav", title, chapter);
    else
        std::snprintf(suffix, sizeof suffix, "-t%02d.wav", title);
    return safe + suffix;
}

std::string ProposeDiscOutputName(const std::string& disc) {
    std::string error;
    const std::unique_ptr<TDisc> opened = TDisc::Open(disc, error);
    const std::optional<TDiscLocation> location = LocateDisc(disc);
    if (!opened || !opened->LongestTitle() || !location)
        return {};
    return Joined(FolderBesideDisc(*location),
                  DiscOutputName(opened->Label(), opened->LongestTitle()->number));
}

TRunResult TDiscConversion::Execute() {
    std::string error;
    const std::unique_ptr<TDisc> disc = TDisc::Open(request_.disc, error);
    if (!disc) {
        host_.ShowError(error);
        return TRunResult::Refused;
    }
    const TDiscTitle* title = request_.title > 0 ? disc->Title(request_.title) : disc->LongestTitle();
    if (!title) {
        host_.ShowError(msg::NoSuchTitle(request_.title, static_cast<int>(disc->Titles().size())));
        return TRunResult::Refused;
    }
    const TDiscAudio* audio = request_.track > 0 ? title->Audio(request_.track) : title->FirstLpcm();
    if (request_.track > 0 && !audio) {
        host_.ShowError(msg::NoSuchAudioStream(request_.track, title->number));
        return TRunResult::Refused;
    }
    if (!audio || audio->coding != EAudioCoding::Lpcm) {
        host_.ShowError(audio ? msg::AudioNotConvertible(audio->number, CodingName(audio->coding))
                              : msg::TitleWithoutLpcm(title->number, CodingsOf(*title)));
        return TRunResult::Refused;
    }

    // The parts and where they are cut: at the sample group nearest to each chapter's start.
    std::vector<TStreamPart> parts;
    int64_t endFrame = -1;
    const int groupFrames = audio->bits == 16 ? 1 : 2;
    const auto startFrame = [&](const TDiscChapter& chapter) {
        return NearestGroupStart(chapter.startTicks, audio->rate, groupFrames);
    };
    if (!request_.chapters) {
        const std::string name = DiscOutputName(disc->Label(), title->number);
        parts.push_back(
            {request_.output.empty() ? Joined(request_.folder, name) : request_.output, 0, false});
    } else {
        const int count = static_cast<int>(title->chapters.size());
        const int first = request_.firstChapter > 0 ? request_.firstChapter : 1;
        const int last = request_.lastChapter > 0 ? request_.lastChapter : count;
        if (first > last || last > count) {
            host_.ShowError(msg::NoSuchChapters(first, last, title->number, count));
            return TRunResult::Refused;
        }
        const std::string folder = request_.output.empty() ? request_.folder : request_.output;
        if (StateOfPath(folder) != TPathState::Folder) {
            host_.ShowError(msg::NoSuchFolder(folder));
            return TRunResult::Refused;
        }
        for (int k = first; k <= last; ++k) {
            const TDiscChapter& chapter = title->chapters[static_cast<size_t>(k - 1)];
            parts.push_back({Joined(folder, DiscOutputName(disc->Label(), title->number, k)),
                             k == 1 ? 0 : startFrame(chapter), false});
        }
        if (last < count)
            endFrame = startFrame(title->chapters[static_cast<size_t>(last)]);
    }

    // Outputs that exist are given up only on Yes; a No keeps every file as it is and converts nothing.
    for (TStreamPart& part : parts) {
        if (!IsExistingFile(part.outputName))
            continue;
        if (IsPartOfDisc(part.outputName, request_.disc)) {
            host_.ShowError(msg::kOutputIsPartOfDisc);
            return TRunResult::Refused;
        }
        host_.OutputStarted(part.outputName);
        if (!host_.Confirm(msg::kOverwrite))
            return TRunResult::Refused;
        part.overwriteAgreed = true;
    }

    const std::unique_ptr<TTitleSource> source = disc->OpenTitle(*title, error);
    if (!source) {
        host_.ShowError(error);
        return TRunResult::Refused;
    }
    const TRunResult result =
        run_.Execute(*source, static_cast<uint8_t>(audio->subStreamId), parts, endFrame);
    if (result == TRunResult::Failed && !source->Error().empty() && source->Error() != msg::kReadFailed)
        host_.ShowError(source->Error());
    return result;
}
