#include "run/NameProposal.h"

namespace {

std::string LowerAsciiLetters(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

std::string FileExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || name.find_first_of("\\:/", dot) != std::string::npos)
        return {};
    return name.substr(dot);
}

std::string ProposeOutputName(const std::string& inputName) {
    const std::string extension = FileExtension(inputName);
    const std::string stem = inputName.substr(0, inputName.size() - extension.size());
    return LowerAsciiLetters(extension) == ".wav" ? stem + "_new.wav" : stem + ".wav";
}
