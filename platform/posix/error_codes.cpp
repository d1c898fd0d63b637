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
    {kErrorInvalidFunction, "Incorrect function.\n"},
    {kErrorFileNotFound, "The system cannot find the file specified.\n"},
    {kErrorPathNotFound, "The system cannot find the path specified.\n"},
    {kErrorTooManyOpenFiles, "The system cannot open the file.\n"},
    {kErrorAccessDenied, "Access is denied.\n"},
    {kErrorInvalidHandle, "The handle is invalid.\n"},
    {kErrorNotEnoughMemory, "Not enough memory resources are available to process this command.\n"},
    {kErrorNoMoreFiles, "There are no more files.\n"},
    {kErrorWriteProtect, "The media is write protected.\n"},
    {kErrorBadUnit, "The system cannot find the device specified.\n"},
    {kErrorGenFailure, "A device attached to the system is not functioning.\n"},
    {kErrorSharingViolation,
     "The process cannot access the file because it is being used by another process.\n"},
    {kErrorNotSupported, "The request is not supported.\n"},
    {kErrorInvalidParameter, "The parameter is incorrect.\n"},
    {kErrorBrokenPipe, "The pipe has been ended.\n"},
    {kErrorDiskFull, "There is not enough space on the disk.\n"},
    {kErrorInvalidName, "The filename, directory name, or volume label syntax is incorrect.\n"},
    {kErrorModNotFound, "The specified module could not be found.\n"},
    {kErrorBusy, "The requested resource is in use.\n"},
    {kErrorFileTooLarge, "The file size exceeds the limit allowed and cannot be saved.\n"},
    {kErrorNoData, "The pipe is being closed.\n"},
    {kErrorFilenameExcedRange, "The filename or extension is too long.\n"},
    {kErrorMessageNotFound,
     "The system cannot find message text for message number 0x%1 in the message file for %2.\n"},
    {kErrorIoDevice, "The request could not be performed because of an I/O device error.\n"},
    {kErrorServiceDoesNotExist, "The specified service does not exist as an installed service.\n"},
    {kErrorFileCorrupt, "The file or directory is corrupted and unreadable.\n"},
    {kErrorCantResolveFilename, "The name of the file cannot be resolved by the system.\n"},
};

struct ErrnoEntry {
  int errno_value;
  std::uint32_t code;
};

// What Windows answers in the same situation: a directory opened as a file
// is access denied there, a non-blocking pipe without data "no data".
constexpr ErrnoEntry kErrnoCodes[] = {
    {ENOENT, kErrorFileNotFound},
    {ENOTDIR, kErrorPathNotFound},
    {EACCES, kErrorAccessDenied},
    {EPERM, kErrorAccessDenied},
    {EISDIR, kErrorAccessDenied},
    {ENOMEM, kErrorNotEnoughMemory},
    {ENAMETOOLONG, kErrorFilenameExcedRange},
    {ELOOP, kErrorCantResolveFilename},
    {EIO, kErrorIoDevice},
    {EMFILE, kErrorTooManyOpenFiles},
    {ENFILE, kErrorTooManyOpenFiles},
    {ENOSPC, kErrorDiskFull},
    {EDQUOT, kErrorDiskFull},
    {EFBIG, kErrorFileTooLarge},
    {EOVERFLOW, kErrorFileTooLarge},
    {EINVAL, kErrorInvalidParameter},
    {EROFS, kErrorWriteProtect},
    {EBADF, kErrorInvalidHandle},
    {EPIPE, kErrorBrokenPipe},
    {EAGAIN, kErrorNoData},
    {ENXIO, kErrorBadUnit},
    {ENODEV, kErrorBadUnit},
    {EBUSY, kErrorBusy},
    {ETXTBSY, kErrorSharingViolation},
    {ENOSYS, kErrorInvalidFunction},
    {EOPNOTSUPP, kErrorInvalidFunction},
    {EBADMSG, kErrorFileCorrupt},
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
