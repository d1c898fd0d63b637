// The Win32 codes this layer reports and their message texts.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace corvane::posix {

inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorTooManyOpenFiles = 4;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorWriteProtect = 19;
inline constexpr std::uint32_t kErrorBadUnit = 20;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorNotSupported = 50;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorBrokenPipe = 109;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorModNotFound = 126;
inline constexpr std::uint32_t kErrorBusy = 170;
inline constexpr std::uint32_t kErrorFileTooLarge = 223;
inline constexpr std::uint32_t kErrorNoData = 232;
inline constexpr std::uint32_t kErrorMessageNotFound = 317;  // ERROR_MR_MID_NOT_FOUND
inline constexpr std::uint32_t kErrorIoDevice = 1117;
inline constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr std::uint32_t kErrorFileCorrupt = 1392;
inline constexpr std::uint32_t kErrorCantResolveFilename = 1921;

// The Win32 code Windows gives where POSIX gives `errno_value`; for an
// errno no file operation here can meet, ERROR_GEN_FAILURE.
std::uint32_t WindowsErrorFromErrno(int errno_value);

// The Windows message text for `code`, ending with "\n"; nullptr for a code
// this layer never reports.
const char* WindowsMessageText(std::uint32_t code);

}  // namespace corvane::posix
