// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.
//
// The protection service on a system managed by dpkg: a file is protected
// when an installed package's md5sums list records it, at the place where
// the diversions put it.
#pragma once

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/posix/directory_resolver.h"
#include "platform/posix/dpkg_lists.h"
#include "platform/posix/list_lines.h"
#include "platform/posix/name_index.h"
#include "platform/posix/recorded_files.h"

namespace corvane::posix {

// A recorded path as its directory ("" for the root) and last component;
// the path is the directory, a '/' and the name.
struct SplitPath {
  std::string_view directory;
  std::string_view name;
  std::size_t size() const { return directory.size() + 1 + name.size(); }
};

class DpkgDatabase {
 public:
  // `directory` is the database's root, holding info/ and diversions
  // ("/var/lib/dpkg" on the system). Nothing is read before the first
  // question. The first query reads the lists only until a line answers
  // it; the next one indexes the last components of every line, and from
  // then on a query reads back only the lines its name may be on. Each list
  // is opened once and kept open (while descriptors last), so later reading
  // sees the files the first question saw.
  explicit DpkgDatabase(std::string directory);

  // For the absolute `path`: kErrorSuccess when the file there is protected,
  // kErrorFileNotFound when it is not, and another code (never
  // kErrorFileNotFound) when the database could not be read: 3 when it is
  // missing, 5 when it may not be read. The path's directory and the
  // recorded ones are compared as symbolic links resolve them, so a
  // directory alias answers like the directory; the last component is
  // compared as written, so a link to a recorded file is not that file.
  std::uint32_t Query(std::string_view path);

  // Entry `number` of the list of every protected path shorter than
  // `limit` bytes, sorted by bytes, each once: kErrorSuccess with the path
  // in *path, valid as long as the database and readable ahead as a
  // ListedFile is; kErrorNoMoreFiles past the
  // end; or, as for Query, the code of the failure to read the database.
  // The list is made at the first call, with that call's limit; the entry
  // after the one asked for last comes at once, any other means walking
  // from the start.
  std::uint32_t Listed(std::uint32_t number, std::size_t limit, SplitPath* path);

 private:
  struct Diversion {
    std::string to;
    std::string package;  // ":" for a local diversion
  };
  enum class Stage { kUnread, kOpened, kFailed };

  // Reads the diversions and finds the lists: kErrorSuccess or the failure.
  std::uint32_t Open();
  // Answers the first query by reading the lists until a line decides it.
  std::uint32_t Scan(const SplitPath& asked, bool askable);
  // Answers a later query from names_.
  std::uint32_t Look(const SplitPath& asked);
  // Indexes the lines of the lists Scan did not read to their end.
  std::uint32_t Index();
  // Indexes the last component of each line of `lines`, a piece of list
  // `list` starting at `offset` in it. Stops and returns true at a line
  // whose last component has a hash in `watched` and that lands where
  // `asked` is.
  bool IndexPiece(std::uint32_t list, std::span<char> lines, std::uint64_t offset,
                  std::span<const std::uint32_t> watched, const SplitPath* asked);
  // Reads every list into files_.
  std::uint32_t Load();
  // Records the file at the absolute `path` of the package of `list` where
  // the diversions put it.
  void Record(std::string_view path, std::size_t list);
  // True when the list line `line` of `list` records a file that lands
  // where `asked` is.
  bool LandsAt(std::span<char> line, std::size_t list, const SplitPath& asked);
  // Where the diversions move the file `path` of the package of `list`;
  // nullptr when they leave it where it is.
  const std::string* Diverted(std::string_view path, std::size_t list) const;
  // True when a file called by the name with NameHash `hash` may be diverted.
  bool MayBeDiverted(std::uint32_t hash) const {
    return diverted_bits_.test(hash % diverted_bits_.size()) &&
           std::binary_search(diverted_hashes_.begin(), diverted_hashes_.end(), hash);
  }
  // True when the directory `recorded` and the query's `directory` are one.
  bool SameDirectory(std::string_view recorded, std::string_view directory);
  // Records `error` as the answer to every later question.
  std::uint32_t Fail(std::uint32_t error);

  std::string root_;
  Stage stage_ = Stage::kUnread;
  std::uint32_t failure_ = 0;

  std::unordered_map<std::string, Diversion, TextHash, std::equal_to<>> diversions_;
  // The names of the diverted files in each directory they are in, so that
  // only those names are looked up while loading.
  std::unordered_map<std::string, std::vector<std::string>, TextHash, std::equal_to<>>
      diverted_names_;
  std::vector<const std::vector<std::string>*> diverted_in_;  // by directory number
  // NameHash of the diverted files' names, sorted, for the index, and a
  // bit for each that rules most other names out at once.
  std::vector<std::uint32_t> diverted_hashes_;
  std::bitset<4096> diverted_bits_;

  ListSet lists_;
  ListReader reader_;
  DirectoryResolver resolver_;

  bool indexed_ = false;
  NameIndex names_;
  std::size_t unindexed_ = 0;  // the first list Scan did not index whole
  ListLines read_back_;        // the lines a query's name may be on
  std::vector<char> line_;     // a copy of a line being indexed

  bool loaded_ = false;
  RecordedFiles files_;
};

}  // namespace corvane::posix
