// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.

#include "platform/posix/error_codes.h"

#include <cerrno>

namespace corvane::posix {
namespace {

struct MessageEntry {
  std::uint32_t code;
  const char* text;
};

// Windows' own wording; lines end with LF alone, as text does here.
constexpr MessageEntry kMessages[] = {
    {kErrorFileNotFound, "The system cannot find the file specified.\n"},
    {kErrorPathNotFound, "The system cannot find the path specified.\n"},
    {kErrorTooManyOpenFiles, "The system cannot open the file.\n"},
    {kErrorAccessDenied, "Access is denied.\n"},
    {kErrorInvalidHandle, "The handle is invalid.\n"},
    {kErrorNotEnoughMemory, "Not enough memory resources are available to process this command.\n"},
    {kErrorNoMoreFiles, "There are no more files.\n"},
    {kErrorWriteProtect, "The media is write protected.\n"},
    {kErrorGenFailure, "A device attached to the system is not functioning.\n"},
    {kErrorInvalidParameter, "The parameter is incorrect.\n"},
    {kErrorBrokenPipe, "The pipe has been ended.\n"},
    {kErrorDiskFull, "There is not enough space on the disk.\n"},
    {kErrorInvalidName, "The filename, directory name, or volume label syntax is incorrect.\n"},
    {kErrorModNotFound, "The specified module could not be found.\n"},
    {kErrorFilenameExcedRange, "The filename or extension is too long.\n"},
    {kErrorMessageNotFound,
     "The system cannot find message text for message number 0x%1 in the message file for %2.\n"},
    {kErrorIoDevice, "The request could not be performed because of an I/O device error.\n"},
    {kErrorCantResolveFilename, "The name of the file cannot be resolved by the system.\n"},
};

struct ErrnoEntry {
  int errno_value;
  std::uint32_t code;
};

constexpr ErrnoEntry kErrnoCodes[] = {
    {ENOENT, kErrorFileNotFound},       {ENOTDIR, kErrorPathNotFound},
    {EACCES, kErrorAccessDenied},       {EPERM, kErrorAccessDenied},
    {ENOMEM, kErrorNotEnoughMemory},    {ENAMETOOLONG, kErrorFilenameExcedRange},
    {ELOOP, kErrorCantResolveFilename}, {EIO, kErrorIoDevice},
    {EMFILE, kErrorTooManyOpenFiles},   {ENFILE, kErrorTooManyOpenFiles},
    {ENOSPC, kErrorDiskFull},           {EINVAL, kErrorInvalidParameter},
    {EROFS, kErrorWriteProtect},        {EBADF, kErrorInvalidHandle},
    {EPIPE, kErrorBrokenPipe},
};

}  // namespace

std::uint32_t WindowsErrorFromErrno(int errno_value) {
  for (const ErrnoEntry& entry : kErrnoCodes)
    if (entry.errno_value == errno_value) return entry.code;
  return kErrorGenFailure;
}

const char* WindowsMessageText(std::uint32_t code) {
  for (const MessageEntry& entry : kMessages)
    if (entry.code == code) return entry.text;
  return nullptr;
}

}  // namespace corvane::posix
