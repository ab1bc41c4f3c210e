#pragma once

#include <cstdint>

// Open flags and error codes of the multimedia file layer, with their published values.
namespace mmio {

inline constexpr uint32_t kRead = 0x0000;
inline constexpr uint32_t kWrite = 0x0001;
inline constexpr uint32_t kReadWrite = 0x0002;
inline constexpr uint32_t kCompat = 0x0000;
inline constexpr uint32_t kExclusive = 0x0010;
inline constexpr uint32_t kDenyWrite = 0x0020;
inline constexpr uint32_t kDenyRead = 0x0030;
inline constexpr uint32_t kDenyNone = 0x0040;
inline constexpr uint32_t kCreate = 0x1000;
inline constexpr uint32_t kDelete = 0x0200;
inline constexpr uint32_t kAllocBuf = 0x10000;

inline constexpr uint32_t kAccessMask = 0x0003;
inline constexpr uint32_t kShareMask = 0x0070;

inline constexpr uint32_t kErrOutOfMemory = 258;
inline constexpr uint32_t kErrCannotWrite = 262;
inline constexpr uint32_t kErrPathNotFound = 267;
inline constexpr uint32_t kErrAccessDenied = 268;
inline constexpr uint32_t kErrSharingViolation = 269;
inline constexpr uint32_t kErrNetworkError = 270;
inline constexpr uint32_t kErrTooManyOpenFiles = 271;
inline constexpr uint32_t kErrInvalidFile = 272;
// Not one of the codes the open check turns into a message: the object just stays unopened.
inline constexpr uint32_t kErrFileNotFound = 2;
// An exclusive create found the name taken; whoever asked decides whether to overwrite.
inline constexpr uint32_t kErrFileExists = 80;
inline constexpr uint32_t kErrOther = 1;

// The platform's default buffer size when an open asks for an allocated buffer.
inline constexpr int32_t kDefaultBufferSize = 8192;

} // namespace mmio
