// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.

#include "platform/posix/dpkg_lists.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/posix/helper_thread.h"

namespace corvane::posix {
namespace {

constexpr std::string_view kListSuffix = ".md5sums";
constexpr std::size_t kDigestLength = 32;
// Descriptors left for everything else the process opens.
constexpr std::size_t kSpareDescriptors = 64;

#if defined(__GNUC__)
using Bytes16 = unsigned char __attribute__((vector_size(16)));

Bytes16 Load16(const char* at) {
  Bytes16 bytes;
  std::memcpy(&bytes, at, sizeof bytes);
  return bytes;
}

template <typename Mask>
bool AllSet(Mask mask) {
  std::uint64_t words[2];
  std::memcpy(words, &mask, sizeof words);
  return (words[0] & words[1]) == ~std::uint64_t{0};
}

// The lanes holding a hexadecimal digit, as all-ones lanes.
auto HexLanes(Bytes16 c) {
  const Bytes16 digit = c - '0';
  const Bytes16 letter = (c | 0x20) - 'a';
  return (digit < 10) | (letter < 6);
}

bool IsDigest(const char* line) {
  return AllSet(HexLanes(Load16(line)) & HexLanes(Load16(line + 16)));
}
#else
bool IsDigest(const char* line) {
  bool hex = true;
  for (std::size_t i = 0; i < kDigestLength; ++i) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    hex &= (c - '0' < 10u) | ((c | 0x20) - 'a' < 6u);
  }
  return hex;
}
#endif

}  // namespace

namespace detail {

std::string_view PathOfLine(std::span<char> line) {
  if (line.size() <= kDigestLength + 2 || !IsDigest(line.data()) || line[kDigestLength] != ' ' ||
      line[kDigestLength + 1] != ' ')
    return {};
  // Tolerates a leading '/', which the format leaves out.
  std::size_t start = kDigestLength + 2;
  while (start < line.size() && line[start] == '/') ++start;
  if (start == line.size()) return {};
  line[start - 1] = '/';
  return std::string_view(line.data() + start - 1, line.size() - start + 1);
}

}  // namespace detail

std::string_view RecordedPath(std::span<char> line) {
  const std::string_view path = detail::PathOfLine(line);
  return path.find('\0') == std::string_view::npos ? path : std::string_view();
}

std::string_view PackageOfList(std::string_view file_name) {
  file_name.remove_suffix(kListSuffix.size());
  return file_name.substr(0, file_name.find(':'));
}

ListSet::~ListSet() {
  for (const List& list : lists_)
    if (list.fd >= 0) close(list.fd);
  if (directory_ >= 0) close(directory_);
}

int ListSet::Find(const std::string& info) {
  directory_ = open(info.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_ < 0) return errno;
  DIR* const stream = fdopendir(dup(directory_));
  if (stream == nullptr) return errno;
  int failure = 0;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(stream);
    if (entry == nullptr) {
      failure = errno;
      break;
    }
    const std::string_view name = entry->d_name;
    if (name.size() > kListSuffix.size() && name.ends_with(kListSuffix))
      lists_.push_back(List{std::string(name), entry->d_type == DT_REG});
  }
  closedir(stream);

  rlimit limit = {};
  keep_limit_ = 0;
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur > kSpareDescriptors * 2)
    keep_limit_ = limit.rlim_cur == RLIM_INFINITY
                      ? lists_.size()
                      : static_cast<std::size_t>(limit.rlim_cur) - kSpareDescriptors;
  return failure;
}

int ListSet::Open(std::size_t list, int* fd) {
  List& entry = lists_[list];
  if (claims_ != nullptr) {
    std::uint8_t claim = kUnclaimed;
    if (!claims_[list].compare_exchange_strong(claim, kCallers, std::memory_order_acquire))
      WaitWhile(claims_[list], std::uint8_t{kHelperOpening});
  }
  if (entry.failure < 0) OpenEntry(entry);
  *fd = entry.fd;
  return entry.failure;
}

void ListSet::OpenEntry(List& entry) {
  // Not blocking: a FIFO among the lists fails its read instead of hanging here.
  entry.fd = openat(directory_, entry.name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  entry.failure = entry.fd < 0 ? errno : 0;
  if (entry.fd >= 0) kept_.fetch_add(1, std::memory_order_relaxed);
}

void ListSet::OpenAhead(std::size_t first) {
  for (std::size_t list = first; list < lists_.size(); ++list) {
    // Past the limit the caller opens and closes each list itself.
    if (stop_ahead_.load(std::memory_order_relaxed) ||
        kept_.load(std::memory_order_relaxed) >= keep_limit_)
      return;
    std::uint8_t claim = kUnclaimed;
    if (!claims_[list].compare_exchange_strong(claim, kHelperOpening, std::memory_order_acquire))
      continue;
    if (lists_[list].failure < 0) OpenEntry(lists_[list]);
    claims_[list].store(kHelperOpened, std::memory_order_release);
  }
}

ListSet::OpeningAhead::OpeningAhead(ListSet& set, std::size_t first) : set_(set) {
  if (set_.claims_ != nullptr || first >= set_.lists_.size()) return;
  set_.claims_ = std::make_unique<std::atomic<std::uint8_t>[]>(set_.lists_.size());
  // The descriptor table grows to its size here, while the process may have
  // one thread: growing a table that threads share waits for an RCU grace
  // period each time, milliseconds. F_DUPFD takes a free number only.
  const auto highest = static_cast<int>(std::min(set_.keep_limit_, set_.lists_.size() + 16));
  if (const int spare = fcntl(set_.directory_, F_DUPFD_CLOEXEC, highest); spare >= 0) close(spare);
  set_.stop_ahead_.store(false, std::memory_order_relaxed);
  set_.opener_ = StartHelper([&set, first] { set.OpenAhead(first); });
  if (!set_.opener_.joinable()) {
    set_.claims_.reset();
    return;
  }
  started_ = true;
}

ListSet::OpeningAhead::~OpeningAhead() {
  if (!started_) return;
  set_.stop_ahead_.store(true, std::memory_order_relaxed);
  set_.opener_.join();
  set_.claims_.reset();
}

void ListSet::Release(std::size_t list) {
  List& entry = lists_[list];
  if (entry.fd < 0 || kept_.load(std::memory_order_relaxed) <= keep_limit_) return;
  close(entry.fd);
  entry.fd = -1;
  entry.failure = -1;
  kept_.fetch_sub(1, std::memory_order_relaxed);
}

void ListReader::Start(int fd, bool regular) {
  if (buffer_ == nullptr) {
    buffer_ = std::make_unique_for_overwrite<char[]>(kFirstCapacity);
    capacity_ = kFirstCapacity;
  }
  fd_ = fd;
  regular_ = regular;
  filled_ = 0;
  handed_ = 0;
  offset_ = 0;
  done_ = false;
}

int ListReader::Next(std::span<char>* lines) {
  // What was handed out is done with; an incomplete line moves to the front.
  filled_ -= handed_;
  if (filled_ > 0 && handed_ > 0) std::memmove(buffer_.get(), buffer_.get() + handed_, filled_);
  handed_ = 0;
  *lines = {};
  if (done_) return 0;
  piece_offset_ = static_cast<std::uint64_t>(offset_) - filled_;
  for (;;) {
    if (filled_ == capacity_) Grow();
    const std::size_t asked = capacity_ - filled_;
    const ssize_t got = pread(fd_, buffer_.get() + filled_, asked, offset_);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    const std::size_t fresh = filled_;
    offset_ += got;
    filled_ += static_cast<std::size_t>(got);
    // No read is needed to learn that a regular file ended.
    if (got == 0 || (regular_ && static_cast<std::size_t>(got) < asked)) {
      done_ = true;
      if (filled_ == 0) return 0;
      if (buffer_[filled_ - 1] != '\n') {
        if (filled_ == capacity_) Grow();
        buffer_[filled_++] = '\n';
      }
      handed_ = filled_;
      *lines = {buffer_.get(), filled_};
      return 0;
    }
    // Only the bytes just read can end the last whole line.
    std::size_t end = filled_;
    while (end > fresh && buffer_[end - 1] != '\n') --end;
    if (end > fresh) {
      handed_ = end;
      *lines = {buffer_.get(), end};
      return 0;
    }
  }
}

void ListReader::Grow() {
  auto larger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
  std::memcpy(larger.get(), buffer_.get(), filled_);
  buffer_ = std::move(larger);
  capacity_ *= 2;
}

}  // namespace corvane::posix
