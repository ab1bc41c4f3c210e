#include "run/InputKind.h"

#include "disc/Disc.h"
#include "disc/DiscLocation.h"
#include "dvd/ProgramStreamDemuxer.h"
#include "mmio/FilePeek.h"
#include "texts/Messages.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

// What a name's ending promises: the message for a file that does not keep it, or nullptr.
const char* PromiseOfName(const std::string& path) {
    std::string ending = std::filesystem::path(path).extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ending == ".iso")
        return msg::kNoDiscImage;
    if (ending == ".ifo" || ending == ".bup")
        return msg::kNoIfoFile;
    if (ending == ".vob" || ending == ".mpg" || ending == ".mpeg")
        return msg::kNoProgramStream;
    return nullptr;
}

TInputKind Refuse(std::string* refusal, const char* message) {
    if (refusal != nullptr)
        *refusal = message;
    return TInputKind::Refused;
}

} // namespace

TInputKind ClassifyInput(const std::string& path, std::string* refusal) {
    uint8_t start[kProgramStreamProbeBytes];
    const TPeekResult peek = PeekFile(path, 0, start, sizeof start);
    if (peek == TPeekResult::Failed)
        return Refuse(refusal, msg::kReadFailed);
    if (peek == TPeekResult::Read && IsProgramStream(start, sizeof start))
        return TInputKind::ProgramStream;
    bool readFailed = false;
    const bool disc = LooksLikeDisc(path, &readFailed) || HasDiscSignature(path, &readFailed);
    if (readFailed)
        return Refuse(refusal, msg::kReadFailed);
    if (disc)
        return TInputKind::Disc;
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error))
        if (const char* promise = PromiseOfName(path))
            return Refuse(refusal, promise);
    return TInputKind::RawOrWave;
}
