#pragma once

#include <string>

// What every output names as its maker, where its format has room for it.
inline std::string EncoderName() {
    return std::string("Oxlip ") + OXLIP_VERSION;
}
