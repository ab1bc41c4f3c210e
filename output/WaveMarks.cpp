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

// INFO's fields in the order they are written, and the tag name that fills each.
struct TInfoField {
    char id[5];
    const char* tag;
};
constexpr TInfoField kInfoFields[] = {{"INAM", "TITLE"},       {"IPRD", "ALBUM"},  {"IART", "ARTIST"},
                                      {"ICRD", "DATE"},        {"IGNR", "GENRE"},  {"ICMT", "COMMENT"},
                                      {"ITRK", "TRACKNUMBER"}, {"ISFT", "ENCODER"}};

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
        if (upper(a[i]) != upper(b[i]))
            return false;
    }
    return true;
}

// The automatic value of a field, before the user's tags.
std::string AutomaticValue(const TOutputMetadata& metadata, std::string_view id) {
    if (id == "INAM")
        return metadata.title;
    if (id == "IPRD")
        return metadata.album;
    if (id == "IART")
        return metadata.artist;
    if (id == "ICMT")
        return metadata.preEmphasis ? "PRE_EMPHASIS=1" : "";
    if (id == "ITRK")
        return metadata.trackNumber > 0 ? std::to_string(metadata.trackNumber) : std::string();
    if (id == "ISFT")
        return metadata.encoder;
    return {};
}
} // namespace

bool WaveInfoTakesTag(std::string_view name) {
    for (const TInfoField& field : kInfoFields)
        if (SameName(name, field.tag))
            return true;
    return false;
}

std::vector<uint8_t> WaveMarkChunks(const TOutputMetadata& metadata) {
    std::vector<uint8_t> out;
    const auto& starts = metadata.chapterStarts;
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
    for (const TInfoField& field : kInfoFields) {
        std::string value = AutomaticValue(metadata, std::string_view(field.id, 4));
        // The last of the user's tags of the field's name wins, as a repeated --tag would.
        for (const auto& [name, given] : metadata.userTags)
            if (SameName(name, field.tag))
                value = given;
        putText(FourCC(field.id), value);
    }
    if (info.size() > 4)
        PutChunk(out, FourCC("LIST"), info);
    return out;
}
