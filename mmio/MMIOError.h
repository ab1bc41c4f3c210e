#pragma once

#include <stdexcept>
#include <string>

// Raised by the file layer for open, buffer and close failures; carries only its message.
class EMMIOError : public std::runtime_error {
public:
    explicit EMMIOError(const std::string& message) : std::runtime_error(message) {}
};
