#include "platform/posix/standard_output.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/error_codes.h"

namespace corvane::posix {

OutputChannel::OutputChannel(int fd) : fd_(fd), terminal_(isatty(fd) == 1) {}

void OutputChannel::Write(const char* bytes, std::size_t count) {
  if (terminal_) {
    WriteAll(bytes, count);
    return;
  }
  while (count > 0 && error_ == 0) {
    const std::size_t taken = std::min(count, kBlockSize - used_);
    std::copy(bytes, bytes + taken, block_.data() + used_);
    used_ += taken;
    bytes += taken;
    count -= taken;
    if (used_ == kBlockSize) Flush();
  }
}

void OutputChannel::Flush() {
  WriteAll(block_.data(), used_);
  used_ = 0;
}

void OutputChannel::WriteAll(const char* bytes, std::size_t count) {
  while (count > 0 && error_ == 0) {
    const ssize_t written = write(fd_, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      // A write that takes nothing would be retried forever: count it as failed.
      error_ = written < 0 ? WindowsErrorFromErrno(errno) : kErrorIoDevice;
      return;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
}

}  // namespace corvane::posix
