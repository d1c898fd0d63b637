#include "platform/posix/standard_output.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/error_codes.h"

namespace corvane::posix {
namespace {

// Waits until the descriptor `fd` can be written to: 0, or the errno of the failure.
int AwaitRoom(int fd) {
  pollfd ready = {fd, POLLOUT, 0};
  while (poll(&ready, 1, -1) < 0)
    if (errno != EINTR) return errno;
  return 0;
}

}  // namespace

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
    int failure = written < 0 ? errno : 0;
    if (failure == EINTR) continue;
    // Output that is not to block (a pipe whose reader is slow) is full for
    // now: the rest goes once it can take more.
    if (failure == EAGAIN && (failure = AwaitRoom(fd_)) == 0) continue;
    if (written <= 0) {
      // A write that takes nothing would be retried forever: count it as failed.
      error_ = failure != 0 ? WindowsErrorFromErrno(failure) : kErrorIoDevice;
      return;
    }
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
}

}  // namespace corvane::posix
