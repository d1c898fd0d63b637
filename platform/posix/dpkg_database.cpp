// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.

#include "platform/posix/dpkg_database.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <tuple>

#include "platform/platform.h"
#include "platform/posix/error_codes.h"

namespace corvane::posix {
namespace {

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

// Splits `path` at its last '/'; the directory of "/name" is "".
SplitPath Split(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {std::string_view(), path};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

// True when `path` can name a file: absolute, and without a zero byte.
bool IsAbsoluteFile(std::string_view path) {
  return !path.empty() && path[0] == '/' && path.find('\0') == std::string_view::npos;
}

// Just after the last '/' in [begin, end), or `begin` when there is none;
// eight bytes at a time, as last components are short but not that short.
const char* AfterLastSlash(const char* begin, const char* end) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu;
  constexpr std::uint64_t kSlashes = 0x2F2F2F2F2F2F2F2Fu;
  while (end - begin >= 8) {
    std::uint64_t word;
    std::memcpy(&word, end - 8, 8);
    const std::uint64_t x = word ^ kSlashes;
    // The top bit of each byte that was a '/', and of no other.
    const std::uint64_t slashes = ~(((x & kLow7) + kLow7) | x | kLow7);
    if (slashes != 0) {
      const int byte = std::endian::native == std::endian::little
                           ? (63 - std::countl_zero(slashes)) / 8
                           : 7 - std::countr_zero(slashes) / 8;
      return end - 8 + byte + 1;
    }
    end -= 8;
  }
  while (end > begin && end[-1] != '/') --end;
  return end;
}

}  // namespace

DpkgDatabase::DpkgDatabase(std::string directory) : root_(std::move(directory)) {}

std::uint32_t DpkgDatabase::Query(std::string_view path) {
  try {
    if (stage_ == Stage::kFailed) return failure_;
    // Only absolute paths are recorded, and no line holds a '\n'.
    const SplitPath asked = Split(path);
    const bool askable = IsAbsoluteFile(path) && !asked.name.empty() &&
                         asked.name.find('\n') == std::string_view::npos;
    if (stage_ == Stage::kUnread) {
      if (const std::uint32_t error = Open(); error != kErrorSuccess) return Fail(error);
      stage_ = Stage::kOpened;
      const std::uint32_t answer = Scan(asked, askable);
      return answer == kErrorSuccess || answer == kErrorFileNotFound ? answer : Fail(answer);
    }
    if (!indexed_) {
      if (const std::uint32_t error = Index(); error != kErrorSuccess) return Fail(error);
      indexed_ = true;
    }
    if (!askable) return kErrorFileNotFound;
    const std::uint32_t answer = Look(asked);
    return answer == kErrorSuccess || answer == kErrorFileNotFound ? answer : Fail(answer);
  } catch (const std::bad_alloc&) {
    return Fail(kErrorNotEnoughMemory);
  }
}

std::uint32_t DpkgDatabase::Listed(std::uint32_t number, std::size_t limit, SplitPath* path) {
  try {
    if (stage_ == Stage::kFailed) return failure_;
    if (stage_ == Stage::kUnread) {
      if (const std::uint32_t error = Open(); error != kErrorSuccess) return Fail(error);
      stage_ = Stage::kOpened;
    }
    if (!loaded_) {
      if (const std::uint32_t error = Load(); error != kErrorSuccess) return Fail(error);
      files_.SortListing(limit);
      loaded_ = true;
    }
    ListedFile file;
    if (!files_.Listed(number, &file)) return kErrorNoMoreFiles;
    *path = {file.directory, file.name};
    return kErrorSuccess;
  } catch (const std::bad_alloc&) {
    return Fail(kErrorNotEnoughMemory);
  }
}

std::uint32_t DpkgDatabase::Open() {
  std::string text;
  if (const int failure = ReadWholeFile(root_ + "/diversions", &text); failure != 0) {
    if (failure != ENOENT) return DatabaseError(failure);
    text.clear();
  }
  std::string_view fields[3];
  int filled = 0;
  ForEachLine(text, [&](std::string_view line) {
    fields[filled++] = line;
    if (filled < 3) return;
    filled = 0;
    const Diversion diversion{std::string(fields[1]), std::string(fields[2])};
    if (!diversions_.try_emplace(std::string(fields[0]), diversion).second) return;
    const SplitPath from = Split(fields[0]);
    diverted_names_[std::string(from.directory)].emplace_back(from.name);
    diverted_hashes_.push_back(NameHash(from.name));
    diverted_bits_.set(diverted_hashes_.back() % diverted_bits_.size());
  });
  std::sort(diverted_hashes_.begin(), diverted_hashes_.end());

  if (const int failure = lists_.Find(root_ + "/info"); failure != 0) return DatabaseError(failure);
  return kErrorSuccess;
}

std::uint32_t DpkgDatabase::Scan(const SplitPath& asked, bool askable) {
  // The last components of the lines that may record the file, by hash: its
  // name, and the names of the files diversions give that name.
  std::vector<std::uint32_t> watched;
  if (askable) {
    watched.push_back(NameHash(asked.name));
    for (const auto& [from, diversion] : diversions_)
      if (Split(diversion.to).name == asked.name) watched.push_back(NameHash(Split(from).name));
  }

  const ListSet::OpeningAhead opening(lists_);
  for (std::size_t list = 0; list < lists_.size(); ++list) {
    int fd = -1;
    if (const int failure = lists_.Open(list, &fd); failure != 0) {
      if (failure == ENOENT) continue;
      return DatabaseError(failure);
    }
    // Without a name to look for, opening every list is all there is to do.
    if (watched.empty()) {
      lists_.Release(list);
      continue;
    }
    bool found = false;
    int failure = 0;
    std::span<char> lines;
    reader_.Start(fd, lists_.regular(list));
    // What is read is indexed too, for the next question, if one comes.
    names_.StartList(static_cast<std::uint32_t>(list));
    unindexed_ = list;
    while (!found && (failure = reader_.Next(&lines)) == 0 && !lines.empty())
      found =
          IndexPiece(static_cast<std::uint32_t>(list), lines, reader_.offset(), watched, &asked);
    lists_.Release(list);
    if (failure != 0) return DatabaseError(failure);
    if (!found) {
      unindexed_ = list + 1;
      continue;
    }

    // A list that cannot be read fails every question, this one too.
    for (std::size_t rest = list + 1; rest < lists_.size(); ++rest) {
      const int failure_of_rest = lists_.Open(rest, &fd);
      lists_.Release(rest);
      if (failure_of_rest != 0 && failure_of_rest != ENOENT) return DatabaseError(failure_of_rest);
    }
    return kErrorSuccess;
  }
  return kErrorFileNotFound;
}

std::uint32_t DpkgDatabase::Look(const SplitPath& asked) {
  int failure = 0;
  const auto lands = [&](std::uint32_t list, std::uint64_t offset) {
    int fd = -1;
    failure = lists_.Open(list, &fd);
    // A list removed since it was indexed belongs to no package any more.
    if (failure == ENOENT) failure = 0;
    if (failure != 0 || fd < 0) return failure != 0;
    std::span<char> line;
    failure = read_back_.Read(list, fd, lists_.regular(list), offset, &line);
    lists_.Release(list);
    if (failure != 0) return true;
    return LandsAt(line, list, asked);
  };
  const bool found = names_.ForEachLine(NameHash(asked.name), lands);
  if (failure != 0) return DatabaseError(failure);
  return found ? kErrorSuccess : kErrorFileNotFound;
}

std::uint32_t DpkgDatabase::Index() {
  const ListSet::OpeningAhead opening(lists_, unindexed_);
  for (std::size_t list = unindexed_; list < lists_.size(); ++list) {
    int fd = -1;
    if (const int failure = lists_.Open(list, &fd); failure != 0) {
      if (failure == ENOENT) continue;
      return DatabaseError(failure);
    }
    names_.StartList(static_cast<std::uint32_t>(list));
    reader_.Start(fd, lists_.regular(list));
    std::span<char> lines;
    int failure = 0;
    while ((failure = reader_.Next(&lines)) == 0 && !lines.empty())
      IndexPiece(static_cast<std::uint32_t>(list), lines, reader_.offset(), {}, nullptr);
    lists_.Release(list);
    if (failure != 0) return DatabaseError(failure);
  }
  names_.Build();
  return kErrorSuccess;
}

bool DpkgDatabase::IndexPiece(std::uint32_t list, std::span<char> lines, std::uint64_t offset,
                              std::span<const std::uint32_t> watched, const SplitPath* asked) {
  char* line = lines.data();
  char* const end = line + lines.size();
  while (line < end) {
    char* const stop = static_cast<char*>(std::memchr(line, '\n', end - line));
    const auto size = static_cast<std::size_t>(stop - line);
    // The last component, or all of a path without a '/' after the digest.
    const char* name = AfterLastSlash(line, stop);
    if (name == line) name = line + std::min<std::size_t>(size, 34);
    if (name < stop) {
      const std::uint32_t seen = NameHash(std::string_view(name, stop - name));
      std::uint32_t hash = seen;
      bool recorded = true;
      if (MayBeDiverted(hash)) {
        // A copy: RecordedPath rewrites a byte, and the line is still to be looked at.
        line_.assign(line, stop);
        const std::string_view path = RecordedPath(line_);
        if (const std::string* moved = path.empty() ? nullptr : Diverted(path, list)) {
          recorded = IsAbsoluteFile(*moved);
          hash = NameHash(Split(*moved).name);
        }
      }
      if (recorded) names_.Add(hash, offset + static_cast<std::uint64_t>(line - lines.data()));
      if (std::find(watched.begin(), watched.end(), seen) != watched.end() &&
          LandsAt(std::span<char>(line, size), list, *asked))
        return true;
    }
    line = stop + 1;
  }
  return false;
}

std::uint32_t DpkgDatabase::Load() {
  const ListSet::OpeningAhead opening(lists_);
  for (std::size_t list = 0; list < lists_.size(); ++list) {
    int fd = -1;
    if (const int failure = lists_.Open(list, &fd); failure != 0) {
      if (failure == ENOENT) continue;
      return DatabaseError(failure);
    }
    reader_.Start(fd, lists_.regular(list));
    std::span<char> lines;
    int failure = 0;
    while ((failure = reader_.Next(&lines)) == 0 && !lines.empty())
      ForEachRecordedPath(lines, [&](std::string_view path) { Record(path, list); });
    lists_.Release(list);
    if (failure != 0) return DatabaseError(failure);
  }
  return kErrorSuccess;
}

void DpkgDatabase::Record(std::string_view path, std::size_t list) {
  auto [directory, name] = files_.Place(path);
  // A path ending in '/' names no file, whatever a diversion says.
  if (name.empty()) return;
  if (!diverted_names_.empty()) {
    while (diverted_in_.size() <= directory) {
      const auto names =
          diverted_names_.find(files_.directory(static_cast<std::uint32_t>(diverted_in_.size())));
      diverted_in_.push_back(names == diverted_names_.end() ? nullptr : &names->second);
    }
    const std::vector<std::string>* names = diverted_in_[directory];
    if (names != nullptr && std::find(names->begin(), names->end(), name) != names->end()) {
      if (const std::string* moved = Diverted(path, list); moved != nullptr) {
        if (!IsAbsoluteFile(*moved)) return;
        std::tie(directory, name) = files_.Place(*moved);
      }
    }
  }
  if (!name.empty()) files_.Add(directory, name);
}

bool DpkgDatabase::LandsAt(std::span<char> line, std::size_t list, const SplitPath& asked) {
  const std::string_view recorded = RecordedPath(line);
  if (recorded.empty()) return false;
  const std::string* moved = Diverted(recorded, list);
  const std::string_view landed = moved == nullptr ? recorded : std::string_view(*moved);
  if (!IsAbsoluteFile(landed)) return false;
  const SplitPath at = Split(landed);
  return at.name == asked.name && SameDirectory(at.directory, asked.directory);
}

const std::string* DpkgDatabase::Diverted(std::string_view path, std::size_t list) const {
  const auto diversion = diversions_.find(path);
  if (diversion == diversions_.end()) return nullptr;
  // Another package's file, or any package's under a local diversion, was
  // moved away; the diverting package's own file stays where it is.
  const Diversion& moved = diversion->second;
  if (moved.package == ":" || moved.package != PackageOfList(lists_.name(list))) return &moved.to;
  return nullptr;
}

bool DpkgDatabase::SameDirectory(std::string_view recorded, std::string_view directory) {
  // The same text names the same directory: no resolving needed for that.
  if (recorded == directory) return true;
  const std::string& real = resolver_.Resolve(directory);
  return recorded == real || resolver_.Resolve(recorded) == real;
}

std::uint32_t DpkgDatabase::Fail(std::uint32_t error) {
  stage_ = Stage::kFailed;
  failure_ = error;
  return error;
}

}  // namespace corvane::posix
