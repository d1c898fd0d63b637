// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.
//
// The Win32 codes this layer reports and their message texts.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace corvane::posix {

inline constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorWriteProtect = 19;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorBrokenPipe = 109;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorModNotFound = 126;
inline constexpr std::uint32_t kErrorMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND
inline constexpr std::uint32_t kErrorIoDevice = 1117;
inline constexpr std::uint32_t kErrorCantResolveFilename = 1921;

// The Win32 code for an errno value; ERROR_GEN_FAILURE for any errno
// without a closer counterpart.
std::uint32_t WindowsErrorFromErrno(int errno_value);

// The Windows message text for `code`, ending with "\n"; nullptr for a code
// this layer never reports.
const char* WindowsMessageText(std::uint32_t code);

}  // namespace corvane::posix
