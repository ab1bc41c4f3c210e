#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Reads a sampling-rate text: leading spaces, one optional sign, then decimal digits in the signed 32-bit
// range or a hexadecimal number after "$", "x", "X", "0x" or "0X" (up to FFFFFFFF, which wraps to
// negative). Nothing may follow. No range check: 0 and negative rates are numbers too.
std::optional<int32_t> ParseRateText(const std::string& text);
