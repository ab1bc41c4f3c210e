#include "output/WaveMarks.h"

#include "wave/WaveHeader.h"

#include <string>

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A chunk of `id` around `body`, padded to an even length.
void PutChunk(std::vector<uint8_t>& out, uint32_t id, const std::vector<uint8_t>& body) {
    Put32(out, id);
    Put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
}

std::vector<uint8_t> Text(const std::string& text) {
    std::vector<uint8_t> body(text.begin(), text.end());
    body.push_back(0);
    return body;
}

} // namespace

std::vector<uint8_t> WaveMarkChunks(const TOutputMarks& marks) {
    std::vector<uint8_t> out;
    const auto& starts = marks.chapterStarts;
    if (!starts.empty()) {
        std::vector<uint8_t> cue;
        Put32(cue, static_cast<uint32_t>(starts.size()));
        std::vector<uint8_t> adtl;
        Put32(adtl, FourCC("adtl"));
        for (size_t i = 0; i < starts.size(); ++i) {
            const auto id = static_cast<uint32_t>(i + 1);
            const auto frame = static_cast<uint32_t>(starts[i]);
            // Its name, its position, the chunk it points into, that chunk's start, the block's start and
            // the sample offset in it.
            for (uint32_t value : {id, frame, FourCC("data"), 0u, 0u, frame})
                Put32(cue, value);
            std::vector<uint8_t> label;
            Put32(label, id);
            const std::vector<uint8_t> text = Text("Chapter " + std::to_string(i + 1));
            label.insert(label.end(), text.begin(), text.end());
            PutChunk(adtl, FourCC("labl"), label);
        }
        PutChunk(out, FourCC("cue "), cue);
        PutChunk(out, FourCC("LIST"), adtl);
    }
    std::vector<uint8_t> info;
    Put32(info, FourCC("INFO"));
    const auto putText = [&info](uint32_t id, const std::string& text) {
        if (!text.empty())
            PutChunk(info, id, Text(text));
    };
    putText(FourCC("INAM"), marks.title);
    putText(FourCC("IPRD"), marks.album);
    putText(FourCC("ISFT"), marks.encoder);
    if (info.size() > 4)
        PutChunk(out, FourCC("LIST"), info);
    return out;
}
