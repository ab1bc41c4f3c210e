#include "run/InputKindRows.h"

#include "dvd/ProgramStreamDemuxer.h"
#include "mmio/FilePeek.h"
#include "texts/Messages.h"

#include <filesystem>

const std::vector<const TInputKindRow*>& InputKinds() {
    // A bare AOB is a program stream too, told apart by its name: its row comes first.
    static const std::vector<const TInputKindRow*> rows = {&kBareAobKind, &kProgramStreamKind, &kDvdAudioKind,
                                                           &kDvdVideoKind, &kRawOrWaveKind};
    return rows;
}

const TInputKindRow* ClassifyInput(const std::string& path, std::string* refusal) {
    const auto refuse = [refusal](const char* message) -> const TInputKindRow* {
        if (refusal != nullptr)
            *refusal = message;
        return nullptr;
    };
    uint8_t start[kProgramStreamProbeBytes];
    const TPeekResult peek = PeekFile(path, 0, start, sizeof start);
    if (peek == TPeekResult::Failed)
        return refuse(msg::kReadFailed);
    const std::span<const uint8_t> bytes(start, peek == TPeekResult::Read ? sizeof start : 0);
    const std::vector<const TInputKindRow*>& kinds = InputKinds();
    // Every kind but the last, which takes what none of the others does.
    for (size_t i = 0; i + 1 < kinds.size(); ++i) {
        const TProbe answer = kinds[i]->probe(path, bytes);
        if (answer == TProbe::ReadFailed)
            return refuse(msg::kReadFailed);
        if (answer == TProbe::Yes)
            return kinds[i];
    }
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error))
        for (const TInputKindRow* kind : kinds)
            if (const char* promise = kind->brokenPromise ? kind->brokenPromise(path) : nullptr)
                return refuse(promise);
    return kinds.back();
}
