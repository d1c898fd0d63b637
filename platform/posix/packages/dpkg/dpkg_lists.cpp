#include "platform/posix/packages/dpkg/dpkg_lists.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/posix/error_codes.h"
#include "platform/posix/packages/package_database.h"

namespace corvane::posix {
namespace {

constexpr std::string_view kListSuffix = ".md5sums";
constexpr std::size_t kDigestLength = 32;
constexpr std::size_t kFirstCapacity = 64 * 1024;
// Descriptors left for everything else the process opens.
constexpr std::size_t kSpareDescriptors = 64;

bool IsDigest(const char* text) {
  // Bytes and no early exit: a loop the compiler turns into a few wide compares.
  unsigned char bad = 0;
  for (std::size_t i = 0; i < kDigestLength; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const unsigned char digit = c - '0';
    const unsigned char letter = (c | 0x20) - 'a';
    bad |= (digit >= 10) & (letter >= 6);
  }
  return bad == 0;
}

// 0 with the whole file at `path` in *contents, or the errno of the failure.
int ReadWholeFile(const std::string& path, std::string* contents) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  contents->clear();
  char chunk[16384];
  int failure = 0;
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) failure = errno;
    if (got <= 0) break;
    contents->append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  return failure;
}

bool NamesFile(std::string_view path) {
  return !path.empty() && path[0] == '/' && path.find('\0') == std::string_view::npos;
}

}  // namespace

std::string_view RecordedPath(std::span<char> line) {
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

std::string_view PackageOfList(std::string_view file_name) {
  file_name.remove_suffix(kListSuffix.size());
  return file_name.substr(0, file_name.find(':'));
}

DpkgLists::~DpkgLists() {
  for (const int fd : kept_)
    if (fd >= 0) close(fd);
  if (info_ >= 0) close(info_);
}

std::uint32_t DpkgLists::Open() {
  std::string text;
  if (const int failure = ReadWholeFile(root_ + "/diversions", &text); failure != 0) {
    if (failure != ENOENT) return WindowsErrorFromErrno(failure);
    text.clear();
  }
  // Three lines a diversion: the file, where it goes, and the package that
  // diverts it; the first of two for one file counts.
  std::string_view fields[3];
  int filled = 0;
  for (std::string_view rest = text; !rest.empty();) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    fields[filled++] = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (filled < 3) continue;
    filled = 0;
    diversions_.try_emplace(std::string(fields[0]),
                            Diversion{std::string(fields[1]), std::string(fields[2])});
  }
  for (const auto& [from, diversion] : diversions_) {
    if (diverted_sizes_.size() <= from.size()) diverted_sizes_.resize(from.size() + 1);
    diverted_sizes_[from.size()] = true;
  }

  info_ = open((root_ + "/info").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (info_ < 0)
    return errno == ENOENT || errno == ENOTDIR ? kErrorServiceDoesNotExist
                                               : WindowsErrorFromErrno(errno);
  DIR* const stream = fdopendir(dup(info_));
  if (stream == nullptr) return WindowsErrorFromErrno(errno);
  int failure = 0;
  try {
    for (;;) {
      errno = 0;
      const dirent* entry = readdir(stream);
      if (entry == nullptr) {
        failure = errno;
        break;
      }
      const std::string_view name = entry->d_name;
      if (name.size() > kListSuffix.size() && name.ends_with(kListSuffix))
        lists_.push_back(List{std::string(name), entry->d_type});
    }
  } catch (...) {
    closedir(stream);
    throw;
  }
  closedir(stream);
  if (failure != 0) return WindowsErrorFromErrno(failure);
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur > 2 * kSpareDescriptors)
    keepable_ = limit.rlim_cur == RLIM_INFINITY
                    ? lists_.size()
                    : std::min<std::size_t>(lists_.size(), limit.rlim_cur - kSpareDescriptors);
  return kErrorSuccess;
}

int DpkgLists::OpenList(std::size_t list, int* fd) const {
  const unsigned char type = lists_[list].type;
  if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN) return EACCES;
  // Not blocking: a link to a pipe is turned down below instead of hanging here.
  *fd = openat(info_, lists_[list].name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (*fd < 0) return errno;
  struct stat status;
  if (type != DT_REG && (fstat(*fd, &status) != 0 || !S_ISREG(status.st_mode))) {
    close(*fd);
    return EACCES;
  }
  return 0;
}

int DpkgLists::TakeList(std::size_t list, int* fd) {
  if (list < kept_.size() && kept_[list] >= 0) {
    *fd = std::exchange(kept_[list], -1);
    --kept_count_;
    return 0;
  }
  return OpenList(list, fd);
}

bool DpkgLists::KeepList(std::size_t list, int fd) {
  if (kept_count_ >= keepable_) return false;
  if (kept_.empty()) kept_.assign(lists_.size(), -1);
  kept_[list] = fd;
  ++kept_count_;
  return true;
}

void DpkgLists::LineReader::Start(int fd) {
  fd_ = fd;
  filled_ = handed_ = 0;
  offset_ = 0;
  ended_ = false;
}

int DpkgLists::LineReader::Next(std::span<char>* lines) {
  // What was handed out is done with; an incomplete line moves to the front.
  filled_ -= handed_;
  if (handed_ > 0) std::memmove(buffer_.get(), buffer_.get() + handed_, filled_);
  handed_ = 0;
  *lines = {};
  if (ended_) return 0;
  for (;;) {
    if (filled_ == capacity_) {
      // A line longer than the buffer: it grows to hold it.
      const std::size_t larger = std::max(capacity_ * 2, kFirstCapacity);
      auto grown = std::make_unique_for_overwrite<char[]>(larger);
      if (filled_ > 0) std::memcpy(grown.get(), buffer_.get(), filled_);
      buffer_ = std::move(grown);
      capacity_ = larger;
    }
    const std::size_t asked = capacity_ - filled_;
    const ssize_t got = pread(fd_, buffer_.get() + filled_, asked, offset_);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    offset_ += got;
    const std::size_t fresh = filled_;
    filled_ += static_cast<std::size_t>(got);
    // No read is needed to learn that a regular file ended.
    if (static_cast<std::size_t>(got) < asked) {
      ended_ = true;
      if (filled_ == 0) return 0;
      // The end comes with a short or empty read: there is room for the '\n'.
      if (buffer_[filled_ - 1] != '\n') buffer_[filled_++] = '\n';
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

std::vector<std::string> DpkgLists::Endings(std::string_view name) const {
  std::vector<std::string> endings{std::string(name) + '\n'};
  for (const auto& [from, diversion] : diversions_) {
    std::string ending = std::string(SplitPath(from).name) + '\n';
    if (SplitPath(diversion.to).name == name && ending.size() > 1 &&
        std::find(endings.begin(), endings.end(), ending) == endings.end())
      endings.push_back(std::move(ending));
  }
  return endings;
}

std::string_view DpkgLists::Land(std::string_view path, std::size_t list) const {
  // Most paths have a length no diverted one has: no hashing for those.
  if (path.size() >= diverted_sizes_.size() || !diverted_sizes_[path.size()]) return path;
  const auto diversion = diversions_.find(path);
  if (diversion == diversions_.end()) return path;
  // Another package's file, or any package's under a local diversion, was
  // moved away; the diverting package's own file stays where it is.
  const Diversion& moved = diversion->second;
  if (moved.package != ":" && moved.package == PackageOfList(lists_[list].name)) return path;
  return NamesFile(moved.to) ? std::string_view(moved.to) : std::string_view();
}

}  // namespace corvane::posix
