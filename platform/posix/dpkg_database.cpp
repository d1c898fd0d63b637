// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.

#include "platform/posix/dpkg_database.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

#include "platform/platform.h"
#include "platform/posix/error_codes.h"
#include "platform/posix/lexical_path.h"

namespace corvane::posix {
namespace {

constexpr std::string_view kListSuffix = ".md5sums";
constexpr std::size_t kDigestLength = 32;

// A database that cannot be read must never look like "not on the list".
std::uint32_t DatabaseError(int errno_value) {
  return errno_value == ENOENT ? kErrorPathNotFound : WindowsErrorFromErrno(errno_value);
}

// 0 with the whole file in *contents, or the errno of the failure.
int ReadWholeFile(const std::string& path, std::string* contents) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  contents->clear();
  char chunk[65536];
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

// Calls `visit` with each line of `text` without its "\n"; a last line
// without one counts too.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    visit(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The path an md5sums line records (relative to the root), or empty when
// the line is not "<32 hex digits><two spaces><path>".
std::string_view RecordedPath(std::string_view line) {
  if (line.size() <= kDigestLength + 2) return {};
  for (std::size_t i = 0; i < kDigestLength; ++i)
    if (!IsHexDigit(line[i])) return {};
  if (line.substr(kDigestLength, 2) != "  ") return {};
  std::string_view path = line.substr(kDigestLength + 2);
  // Tolerates a leading '/', which the format leaves out.
  path.remove_prefix(std::min(path.find_first_not_of('/'), path.size()));
  if (path.find('\0') != std::string_view::npos) return {};
  return path;
}

// Splits an absolute path at its last '/'; the directory of "/name" is "/".
std::string_view DirectoryOf(std::string_view path, std::size_t slash) {
  return slash == 0 ? std::string_view("/") : path.substr(0, slash);
}

struct CloseDirectory {
  void operator()(DIR* directory) const { closedir(directory); }
};

// `directory` with every symbolic link resolved, or by its text alone when
// it cannot be resolved (it does not exist, say).
std::string ResolveDirectory(const std::string& directory) {
  std::unique_ptr<char, decltype(&std::free)> real(realpath(directory.c_str(), nullptr),
                                                   &std::free);
  if (real == nullptr) return FoldPath(directory);
  return real.get();
}

}  // namespace

DpkgDatabase::DpkgDatabase(std::string directory) : root_(std::move(directory)) {}

std::uint32_t DpkgDatabase::Query(std::string_view path) {
  if (const std::uint32_t error = EnsureLoaded(); error != kErrorSuccess) return error;
  // Only absolute paths are recorded.
  if (path.empty() || path[0] != '/') return kErrorFileNotFound;
  const std::size_t slash = path.rfind('/');
  const std::string_view name = path.substr(slash + 1);
  const auto [first, last] = std::equal_range(entries_.begin(), entries_.end(), name, ByName{});
  if (first == last) return kErrorFileNotFound;

  // The same text names the same directory: no resolving needed for that.
  const std::string_view directory = DirectoryOf(path, slash);
  for (auto it = first; it != last; ++it)
    if (directories_[it->directory] == directory) return kErrorSuccess;

  const std::string real = ResolveDirectory(std::string(directory));
  for (auto it = first; it != last; ++it)
    if (directories_[it->directory] == real || Resolved(it->directory) == real)
      return kErrorSuccess;
  return kErrorFileNotFound;
}

const std::vector<std::string>* DpkgDatabase::List(std::uint32_t* error) {
  *error = EnsureLoaded();
  if (*error != kErrorSuccess) return nullptr;
  if (!listed_) {
    try {
      list_.reserve(entries_.size());
      for (const Entry& entry : entries_) {
        const std::string& directory = directories_[entry.directory];
        list_.push_back(directory == "/" ? "/" + entry.name : directory + "/" + entry.name);
      }
      std::sort(list_.begin(), list_.end());
      list_.erase(std::unique(list_.begin(), list_.end()), list_.end());
    } catch (const std::bad_alloc&) {
      list_.clear();
      *error = kErrorNotEnoughMemory;
      return nullptr;
    }
    listed_ = true;
  }
  return &list_;
}

std::uint32_t DpkgDatabase::EnsureLoaded() {
  if (loaded_) return load_error_;
  loaded_ = true;
  load_error_ = Load();
  // Only needed while the lists are read.
  diversions_ = {};
  directory_index_ = {};
  if (load_error_ != kErrorSuccess) {
    entries_ = {};
    directories_ = {};
  }
  return load_error_;
}

std::uint32_t DpkgDatabase::Load() {
  try {
    if (const std::uint32_t error = ReadDiversions(); error != kErrorSuccess) return error;

    std::vector<std::string> lists;
    {
      const std::string info = root_ + "/info";
      std::unique_ptr<DIR, CloseDirectory> dir(opendir(info.c_str()));
      if (dir == nullptr) return DatabaseError(errno);
      for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr) break;
        const std::string_view name = entry->d_name;
        if (name.size() > kListSuffix.size() && name.ends_with(kListSuffix))
          lists.emplace_back(name);
      }
      if (errno != 0) return DatabaseError(errno);
    }
    for (const std::string& list : lists)
      if (const std::uint32_t error = ReadList(list); error != kErrorSuccess) return error;

    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
      return a.name != b.name ? a.name < b.name : a.directory < b.directory;
    });
    entries_.erase(std::unique(entries_.begin(), entries_.end(),
                               [](const Entry& a, const Entry& b) {
                                 return a.directory == b.directory && a.name == b.name;
                               }),
                   entries_.end());
    resolved_.assign(directories_.size(), std::string());
    return kErrorSuccess;
  } catch (const std::bad_alloc&) {
    return kErrorNotEnoughMemory;
  }
}

std::uint32_t DpkgDatabase::ReadDiversions() {
  std::string text;
  if (const int failure = ReadWholeFile(root_ + "/diversions", &text); failure != 0)
    return failure == ENOENT ? kErrorSuccess : DatabaseError(failure);

  std::string_view fields[3];
  int filled = 0;
  ForEachLine(text, [&](std::string_view line) {
    fields[filled++] = line;
    if (filled < 3) return;
    filled = 0;
    diversions_.try_emplace(std::string(fields[0]),
                            Diversion{std::string(fields[1]), std::string(fields[2])});
  });
  return kErrorSuccess;
}

std::uint32_t DpkgDatabase::ReadList(const std::string& file_name) {
  std::string package = file_name.substr(0, file_name.size() - kListSuffix.size());
  package.erase(std::min(package.find(':'), package.size()));

  std::string text;
  if (const int failure = ReadWholeFile(root_ + "/info/" + file_name, &text); failure != 0)
    // A list removed since the directory was read belongs to no package any more.
    return failure == ENOENT ? kErrorSuccess : DatabaseError(failure);

  ForEachLine(text, [&](std::string_view line) {
    const std::string_view path = RecordedPath(line);
    if (!path.empty()) Record("/" + std::string(path), package);
  });
  return kErrorSuccess;
}

void DpkgDatabase::Record(std::string path, std::string_view package) {
  if (const auto diversion = diversions_.find(path); diversion != diversions_.end()) {
    // Another package's file, or any package's under a local diversion, was
    // moved away; the diverting package's own file stays where it is.
    const Diversion& moved = diversion->second;
    if (moved.package == ":" || moved.package != package) path = moved.to;
  }
  const std::size_t slash = path.rfind('/');
  if (path.empty() || path[0] != '/' || slash + 1 == path.size()) return;

  const std::string_view directory = DirectoryOf(path, slash);
  const auto [where, added] = directory_index_.try_emplace(
      std::string(directory), static_cast<std::uint32_t>(directories_.size()));
  if (added) directories_.emplace_back(directory);
  entries_.push_back(Entry{path.substr(slash + 1), where->second});
}

const std::string& DpkgDatabase::Resolved(std::uint32_t directory) {
  std::string& resolved = resolved_[directory];
  if (resolved.empty()) resolved = ResolveDirectory(directories_[directory]);
  return resolved;
}

}  // namespace corvane::posix
