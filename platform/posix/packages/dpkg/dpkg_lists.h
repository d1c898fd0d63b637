// The records of a dpkg database: the checksum lists (info/*.md5sums) and
// the diversions, read in one walk over the lists.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/posix/error_codes.h"
#include "platform/posix/packages/directory_resolver.h"
#include "platform/posix/packages/dpkg/list_reader.h"
#include "platform/posix/posix_handles.h"

namespace corvane::posix {

// The path the md5sums line `line` (without its '\n') records, as an
// absolute path with one '/' in front however many the line has; empty when
// the line is not "<32 hex digits><two spaces><path>". The byte before the
// path may be rewritten to that '/'.
std::string_view RecordedPath(std::span<char> line);

// Whether the line from `line` up to `next` (past its '\n') ends in one of
// `names` (each a name and a '\n') as the whole last component of its path.
inline bool EndsInName(const char* line, const char* next, std::span<const std::string> names) {
  for (const std::string& name : names) {
    if (static_cast<std::size_t>(next - line) <= name.size()) continue;
    const char* const start = next - name.size();
    if (std::memcmp(start, name.data(), name.size()) == 0 && (start[-1] == '/' || start[-1] == ' '))
      return true;
  }
  return false;
}

// The package whose list is the file `file_name`: the name without
// ".md5sums" and without its ":architecture".
std::string_view PackageOfList(std::string_view file_name);

class DpkgLists {
 public:
  // `root` holds info/ and diversions ("/var/lib/dpkg" on the system).
  // Nothing is read before Open.
  explicit DpkgLists(std::string root) : root_(std::move(root)) {}
  DpkgLists(const DpkgLists&) = delete;
  DpkgLists& operator=(const DpkgLists&) = delete;

  // Reads the diversions and finds the lists: kErrorSuccess; 1060 (no such
  // service) when there is no info/ directory; 1392 (corrupt) when the
  // diversions end inside a record; or the failure's code.
  // bad_alloc when memory runs out, as everywhere here.
  std::uint32_t Open();

  // Calls `visit(path, list)` with the path each line of each list
  // records (see RecordedPath; a path holding a zero byte names no file and
  // is left out), list by list. When it returns true, the walk reads no
  // further; the lists after it are still opened, as one that cannot be
  // read fails every answer. A list
  // removed since Open belongs to no package any more and is passed over.
  // Returns kErrorSuccess or the code of the failure. With `names`, each
  // a file name and a '\n' (see Endings), only the lines whose path ends
  // in one of them are parsed and visited, in no particular order. With
  // `keep`, the lists stay open for the next walk, as many as the limit on
  // descriptors leaves room for; a walk closes the kept lists it reads.
  // Not opening them twice makes `corvane /usr/bin/*` about 13% faster.
  template <typename Visit>
  std::uint32_t Walk(Visit visit, std::span<const std::string> names = {}, bool keep = false);

  // Calls `visit(path, list)` as Walk does for every list, in order, while
  // a second thread reads the lists ahead when one can be started. Returns
  // kErrorSuccess or the code of the failure.
  template <typename Visit>
  std::uint32_t WalkAll(Visit visit);

  // The last components that lines land at `name` from, each with a '\n':
  // `name` itself and those of the diverted files put there.
  std::vector<std::string> Endings(std::string_view name) const;

  // Where the diversions put the file that list `list` records at `path`:
  // `path` itself, or another path; empty when that names no file.
  std::string_view Land(std::string_view path, std::size_t list) const;

 private:
  struct List {
    std::string name;
    unsigned char type;  // as the directory says (DT_REG, ...)
  };
  struct Diversion {
    std::string to;
    std::string package;  // ":" for a local diversion
  };

  // Reads the diversions into diversions_: 0, also when there is no such
  // file; EACCES when it is not a regular file; EBADMSG when it ends inside
  // a record; or the errno of the failure.
  int ReadDiversions();
  // Opens list `list` as *fd: 0; ENOENT when it is gone; EACCES when it is
  // not a regular file (Windows denies access to a directory opened as a
  // file, and a pipe or device is no list either); or the errno.
  int OpenList(std::size_t list, int* fd) const;
  // Takes list `list` as *fd: the descriptor kept from an earlier walk, or
  // as OpenList opens it. Reading starts from its beginning.
  int TakeList(std::size_t list, int* fd);
  // Keeps the descriptor of list `list` for the next walk, when more may be
  // kept; otherwise closes it.
  void KeepList(std::size_t list, UniqueFd fd);
  // Visits the paths of whole `lines` of list `list` as Walk describes:
  // true when a visit returned true.
  template <typename Visit>
  static bool VisitLines(std::span<char> lines, std::size_t list, Visit& visit,
                         std::span<const std::string> names);

  std::string root_;
  UniqueFd info_;
  std::vector<List> lists_;
  std::unordered_map<std::string, Diversion, TextHash, std::equal_to<>> diversions_;
  std::vector<bool> diverted_sizes_;  // by length: whether a diverted path has it

  std::vector<UniqueFd> kept_;  // by list: its descriptor kept for the next walk
  std::size_t keepable_ = 0;
  std::size_t kept_count_ = 0;
};

template <typename Visit>
bool DpkgLists::VisitLines(std::span<char> lines, std::size_t list, Visit& visit,
                           std::span<const std::string> names) {
  bool stopping = false;
  for (char *line = lines.data(), *end = line + lines.size(); line < end;) {
    char* const next = static_cast<char*>(std::memchr(line, '\n', end - line)) + 1;
    // Comparing a line's end with the names is cheaper than parsing it:
    // a file no package has is answered in two thirds of the time.
    const bool wanted = names.empty() || EndsInName(line, next, names);
    const std::string_view path =
        wanted ? RecordedPath(std::span<char>(line, next - 1)) : std::string_view();
    line = next;
    if (!path.empty() && path.find('\0') == std::string_view::npos)
      stopping |= visit(path, list);
  }
  return stopping;
}

template <typename Visit>
std::uint32_t DpkgLists::Walk(Visit visit, std::span<const std::string> names, bool keep) {
  LineReader reader;
  bool stopped = false;
  for (std::size_t list = 0; list < lists_.size(); ++list) {
    int opened = -1;
    if (const int failure = TakeList(list, &opened); failure != 0) {
      if (failure == ENOENT) continue;
      return WindowsErrorFromErrno(failure);
    }
    UniqueFd fd(opened);
    reader.Start(fd.get());
    int failure = 0;
    std::span<char> lines;
    while (!stopped && (failure = reader.Next(&lines)) == 0 && !lines.empty())
      stopped |= VisitLines(lines, list, visit, names);
    if (failure != 0) return WindowsErrorFromErrno(failure);
    if (keep) KeepList(list, std::move(fd));
  }
  return 0;
}

template <typename Visit>
std::uint32_t DpkgLists::WalkAll(Visit visit) {
  auto visit_all = [&](std::string_view path, std::size_t list) {
    visit(path, list);
    return false;
  };
  // On the heap: its slots' pieces would take 17 KiB of a stack.
  const auto ahead = std::make_unique<ReadAhead>(
      lists_.size(), [this](std::size_t list, int* fd) { return TakeList(list, fd); });
  if (!ahead->started()) return Walk(visit_all);
  for (ReadAhead::Piece piece; ahead->Next(&piece);) {
    if (piece.failure != 0) return WindowsErrorFromErrno(piece.failure);
    VisitLines(piece.lines, piece.list, visit_all, {});
  }
  return 0;
}

}  // namespace corvane::posix
