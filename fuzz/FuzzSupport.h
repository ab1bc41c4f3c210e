#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the fuzz targets share: a scratch folder for their files and a check that ends the process.

// A path in this process's scratch folder (on tmpfs where there is one), removed when the process exits.
std::string ScratchPath(const std::string& name);

// Replaces the file with exactly these bytes; aborts if that fails, since no finding would be meaningful.
void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

// The file's bytes, or false when it does not exist.
bool ReadWholeFile(const std::string& path, std::string& bytes);

[[noreturn]] void FuzzCheckFailed(const char* condition, const char* file, int line);

// A broken promise of the code under test: reported, then abort() so that the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            FuzzCheckFailed(#condition, __FILE__, __LINE__);                                                 \
    } while (false)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
