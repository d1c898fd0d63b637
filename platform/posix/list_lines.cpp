// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.

#include "platform/posix/list_lines.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvane::posix {
namespace {

// pread, again when a signal cuts it short: the bytes read, or -1 with errno.
ssize_t ReadAt(int fd, char* into, std::size_t size, std::uint64_t offset) {
  for (;;) {
    const ssize_t got = pread(fd, into, size, static_cast<off_t>(offset));
    if (got >= 0 || errno != EINTR) return got;
  }
}

}  // namespace

int ListLines::Read(std::uint32_t list, int fd, bool regular, std::uint64_t offset,
                    std::span<char>* line) {
  *line = {};
  if (!regular) return ReadDirect(fd, offset, line);
  const std::uint64_t start = offset / kBlockSize * kBlockSize;
  const std::size_t number = (list * std::size_t{31} + offset / kBlockSize) % kBlocks;
  Block& block = blocks_[number];
  char* const bytes = [&] {
    if (bytes_ == nullptr) bytes_ = std::make_unique_for_overwrite<char[]>(kBlocks * kBlockSize);
    return bytes_.get() + number * kBlockSize;
  }();
  if (block.list != list || block.start != start) {
    const ssize_t got = ReadAt(fd, bytes, kBlockSize, start);
    if (got < 0) {
      block.list = kNoList;
      return errno;
    }
    block = Block{list, static_cast<std::uint32_t>(got), start};
  }
  const std::size_t at = static_cast<std::size_t>(offset - start);
  if (at >= block.size) return 0;
  const char* const stop = static_cast<const char*>(std::memchr(bytes + at, '\n', block.size - at));
  if (stop == nullptr && block.size == kBlockSize) return ReadDirect(fd, offset, line);
  const char* const end = stop != nullptr ? stop : bytes + block.size;
  const char* const begin = bytes + at;
  // A copy: the caller may rewrite the line, and the block serves others.
  line_.assign(begin, end);
  *line = line_;
  return 0;
}

int ListLines::ReadDirect(int fd, std::uint64_t offset, std::span<char>* line) {
  std::size_t size = 0;
  std::size_t end = 0;
  for (;;) {
    if (line_.size() < size + 256) line_.resize(size + 256 + size);
    const ssize_t got = ReadAt(fd, line_.data() + size, line_.size() - size, offset + size);
    if (got < 0) return errno;
    if (got == 0) break;
    const char* const stop = static_cast<char*>(std::memchr(line_.data() + size, '\n', got));
    size += static_cast<std::size_t>(got);
    if (stop != nullptr) {
      end = static_cast<std::size_t>(stop - line_.data());
      break;
    }
    end = size;
  }
  *line = std::span<char>(line_.data(), end);
  return 0;
}

}  // namespace corvane::posix
