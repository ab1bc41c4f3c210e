#pragma once

// What `oxlip-convert --list --json` writes: JSON strings, numbers and objects on one line. A string is
// copied where it is well-formed UTF-8; quotes, backslashes and control characters are escaped, and a byte
// that is no part of well-formed UTF-8 (a file name in another encoding) becomes the Latin-1 character of
// its value, \u00XX, so that the document stays valid and the name stays recognisable.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace json_text {

// Length of the well-formed UTF-8 sequence of two to four bytes at `i`, or 0.
inline size_t Utf8Sequence(std::string_view text, size_t i) {
    const auto lead = static_cast<uint8_t>(text[i]);
    const size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k)
        if ((static_cast<uint8_t>(text[i + k]) & 0xC0) != 0x80)
            return 0;
    // The second byte's range rules out overlong forms, surrogates and code points beyond U+10FFFF.
    const auto second = static_cast<uint8_t>(text[i + 1]);
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

inline std::string String(std::string_view text) {
    std::string quoted = "\"";
    for (size_t i = 0; i < text.size();) {
        const auto byte = static_cast<uint8_t>(text[i]);
        if (byte == '"' || byte == '\\') {
            quoted += '\\';
            quoted += text[i++];
        } else if (byte >= 0x20 && byte < 0x80) {
            quoted += text[i++];
        } else if (const size_t length = byte >= 0x80 ? Utf8Sequence(text, i) : 0) {
            quoted.append(text, i, length);
            i += length;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            quoted += escaped;
            ++i;
        }
    }
    quoted += '"';
    return quoted;
}

// Milliseconds as seconds, exactly: 252480 gives 252.480.
inline std::string Seconds(int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%03lld", ms < 0 ? "-" : "",
                  static_cast<long long>(ms < 0 ? -ms : ms) / 1000,
                  static_cast<long long>(ms < 0 ? -ms : ms) % 1000);
    return text;
}

inline std::string Array(const std::vector<std::string>& items) {
    std::string text = "[";
    for (const std::string& item : items)
        text.append(text.size() > 1 ? "," : "").append(item);
    return text + "]";
}

// An object's members in the order they are added; values are JSON already, or made from plain values.
class TObject {
public:
    TObject& Add(const char* key, const std::string& value) {
        if (!members_.empty())
            members_ += ',';
        members_ += String(key);
        members_ += ':';
        members_ += value;
        return *this;
    }
    TObject& Text(const char* key, std::string_view value) { return Add(key, String(value)); }
    TObject& Number(const char* key, int64_t value) { return Add(key, std::to_string(value)); }
    TObject& Flag(const char* key, bool value) { return Add(key, value ? "true" : "false"); }
    // The members without the braces, for an object that another one continues.
    const std::string& Members() const { return members_; }
    std::string Done() const { return "{" + members_ + "}"; }

private:
    std::string members_;
};

} // namespace json_text
