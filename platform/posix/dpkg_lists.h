// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.
//
// The checksum lists of a dpkg database (info/*.md5sums): finding them,
// reading them in pieces of whole lines, and the paths their lines record.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvane::posix {

// The path the md5sums line `line` (without its '\n') records, as an
// absolute path with one '/' in front however many the line has; empty when
// the line is not "<32 hex digits><two spaces><path>" or the path holds a
// zero byte. The byte before the path may be rewritten to that '/', after
// which the line no longer reads as well-formed.
std::string_view RecordedPath(std::span<char> line);

namespace detail {
// RecordedPath without the zero-byte check.
std::string_view PathOfLine(std::span<char> line);
}  // namespace detail

// Calls `visit(path)` with the path each well-formed line of `lines` records
// (see RecordedPath), in order; `lines` holds whole lines, each ending in '\n'.
template <typename Visit>
void ForEachRecordedPath(std::span<char> lines, Visit visit);

// The package whose list is the file `file_name`: the name without
// ".md5sums" and without its ":architecture".
std::string_view PackageOfList(std::string_view file_name);

// The lists in one info directory. Each list is opened once and kept open
// while the set lives, so that reading it again sees the same file even
// after it was removed, as long as descriptors last.
class ListSet {
 public:
  ListSet() = default;
  ListSet(const ListSet&) = delete;
  ListSet& operator=(const ListSet&) = delete;
  ~ListSet();

  // Finds the lists in the directory `info`: 0, or the errno of the failure.
  int Find(const std::string& info);
  std::size_t size() const { return lists_.size(); }
  const std::string& name(std::size_t list) const { return lists_[list].name; }
  // True when the directory says list `list` is a regular file.
  bool regular(std::size_t list) const { return lists_[list].regular; }

  // 0 with list `list` open as *fd; ENOENT when it is gone (a list removed
  // since the directory was read belongs to no package any more); or the
  // errno of the failure.
  int Open(std::size_t list, int* fd);
  // Done with list `list` for now: it is closed when too many are open.
  void Release(std::size_t list);

  // While one lives, a helper thread opens the lists from `first` on, in
  // order, ahead of a caller that reads them one after another, as far as
  // descriptors last. Meanwhile only one thread may use the set, through
  // Open, Release and the accessors. One at a time; a second does nothing.
  class OpeningAhead {
   public:
    explicit OpeningAhead(ListSet& set, std::size_t first = 0);
    OpeningAhead(const OpeningAhead&) = delete;
    OpeningAhead& operator=(const OpeningAhead&) = delete;
    // Stops the helper and waits for it.
    ~OpeningAhead();

   private:
    ListSet& set_;
    bool started_ = false;
  };

 private:
  struct List {
    std::string name;
    bool regular = false;
    int fd = -1;
    int failure = -1;  // -1 until opened
  };
  // Who opens a list while opening ahead: whoever claims it first.
  enum : std::uint8_t { kUnclaimed, kHelperOpening, kHelperOpened, kCallers };

  void OpenEntry(List& entry);
  // The helper's part of OpeningAhead.
  void OpenAhead(std::size_t first);

  int directory_ = -1;
  std::vector<List> lists_;
  std::atomic<std::size_t> kept_ = 0;
  std::size_t keep_limit_ = 0;                           // descriptors the set may hold at once
  std::unique_ptr<std::atomic<std::uint8_t>[]> claims_;  // by list, while opening ahead
  std::atomic<bool> stop_ahead_ = false;
  std::thread opener_;
};

// Reads one list at a time in pieces of whole lines, reusing one buffer.
class ListReader {
 public:
  // Starts on the open list `fd` (not owned), from its beginning; a
  // `regular` file ends where a read comes back short.
  void Start(int fd, bool regular);
  // 0 with the next piece in *lines, each line in it ending in '\n' (one is
  // supplied after a last line without it), and empty once all is read; or
  // the errno of the failure. A piece stays valid until the next call.
  int Next(std::span<char>* lines);
  // Where in the list the piece Next gave last starts.
  std::uint64_t offset() const { return piece_offset_; }

 private:
  void Grow();

  static constexpr std::size_t kFirstCapacity = 128 * 1024;

  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t filled_ = 0;
  std::size_t handed_ = 0;  // bytes at the front given out by Next
  long long offset_ = 0;    // of the end of what was read
  std::uint64_t piece_offset_ = 0;
  int fd_ = -1;
  bool regular_ = false;
  bool done_ = false;
};

template <typename Visit>
void ForEachRecordedPath(std::span<char> lines, Visit visit) {
  char* line = lines.data();
  char* const end = line + lines.size();
  // Paths with a zero byte are rare enough to be looked for once per piece.
  const bool may_hold_zero = std::memchr(line, '\0', lines.size()) != nullptr;
  while (line < end) {
    char* const stop = static_cast<char*>(std::memchr(line, '\n', end - line));
    const std::span<char> whole(line, stop);
    line = stop + 1;
    const std::string_view path = detail::PathOfLine(whole);
    if (!path.empty() && (!may_hold_zero || path.find('\0') == std::string_view::npos)) visit(path);
  }
}

}  // namespace corvane::posix
