#include "TerminalText.h"

#include <cstdint>
#include <cstdio>

namespace {

// Length of the valid UTF-8 sequence at `i` that is not a C1 control, or 0.
size_t PrintableSequence(const std::string& text, size_t i) {
    const auto lead = static_cast<uint8_t>(text[i]);
    const size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    if (lead == 0xC2 && static_cast<uint8_t>(text[i + 1]) < 0xA0) // U+0080 to U+009F
        return 0;
    return length;
}

} // namespace

std::string ForTerminal(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if (byte == '\r') {
            shown += '\n';
            ++i;
        } else if (byte >= 0x20 && byte < 0x7F) {
            shown += text[i++];
        } else if (const size_t length = byte >= 0x80 ? PrintableSequence(text, i) : 0) {
            shown.append(text, i, length);
            i += length;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
            ++i;
        }
    }
    return shown;
}
