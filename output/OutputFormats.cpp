#include "output/OutputFormat.h"

#include "output/FlacSink.h"
#include "output/WaveFormats.h"

#include <algorithm>

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// The text from the name's last dot, unless a folder separator follows it.
std::string_view ExtensionOf(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find_first_of("\\:/", dot) != std::string_view::npos)
        return {};
    return path.substr(dot);
}

// One row per format, in the order the window and --help list them.
constexpr TOutputFormatRow kWave = {"wav",       "WAVE", ".wav",       "Windows WAVE file (*.wav)",
                                    true,        true,   WaveTakesTag, WaveFrameLimit,
                                    MakeWaveSink};
constexpr TOutputFormatRow kFlac = {"flac", "FLAC",       ".flac",        "FLAC file (*.flac)", true,
                                    true,   FlacTakesTag, FlacFrameLimit, MakeFlacSink};

} // namespace

const std::vector<const TOutputFormatRow*>& OutputFormats() {
    static const std::vector<const TOutputFormatRow*> rows = {&kWave, &kFlac};
    return rows;
}

const TOutputFormatRow& DefaultOutputFormat() {
    return kWave;
}

const TOutputFormatRow* OutputFormatById(std::string_view id) {
    const std::string wanted = Lower(id);
    for (const TOutputFormatRow* row : OutputFormats())
        if (wanted == row->id)
            return row;
    return nullptr;
}

const TOutputFormatRow* OutputFormatOfName(const std::string& path) {
    const std::string extension = Lower(ExtensionOf(path));
    for (const TOutputFormatRow* row : OutputFormats())
        if (!extension.empty() && extension == row->extension)
            return row;
    return nullptr;
}

std::string WithFormatExtension(const std::string& path, const TOutputFormatRow& format) {
    return path.substr(0, path.size() - ExtensionOf(path).size()) + format.extension;
}
