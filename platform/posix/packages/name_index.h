// Where a package database records each last component, for answering
// many questions after the first: per recorded file, its name's 64-bit
// hash and where its directory's text is, twelve bytes. Names themselves are not
// kept: two different names of files in one directory share a hash once in
// about 2^64 / (files in the directory) questions, far rarer than a failing
// disk, and keeping them would cost as much memory again as the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/posix/packages/large_pages.h"
#include "platform/posix/packages/package_database.h"
#include "platform/posix/packages/text_blocks.h"
#include "platform/posix/packages/text_hash.h"

namespace corvane::posix {

class NameIndex {
 public:
  // Records the file `name` (not empty) in the absolute `directory`.
  void Add(const ListedPath& path);
  // The number of files recorded so far.
  std::size_t size() const { return files_.size(); }

  // Makes ForEachDirectoryOf answer; call once every file is added.
  void Build();
  // Calls `visit(directory)` with the directory text of each file recorded
  // as `name` until it returns true; true when it did.
  template <typename Visit>
  bool ForEachDirectoryOf(std::string_view name, Visit visit) const;

 private:
  // The directory of each run of files in one directory, in the order
  // added: lists come sorted, so runs are long, and a text kept once a run
  // costs less than looking each directory up in a table.
  TextBlocks texts_{std::size_t{2} << 20};
  std::vector<std::string_view, LargeAllocator<std::string_view>> directories_;
  // By file number: its name's hash, in two halves so that an entry takes
  // twelve bytes, and its directory's run.
  struct File {
    std::uint32_t hash_low;
    std::uint32_t hash_high;
    std::uint32_t directory;
    std::uint64_t hash() const { return std::uint64_t{hash_high} << 32 | hash_low; }
  };
  std::vector<File, LargeAllocator<File>> files_;
  // The file numbers grouped by the low bits of their hash: group g is
  // order_[starts_[g]] up to order_[starts_[g + 1]]. Grouping by counting
  // takes two passes; sorting (hash, number) pairs for std::equal_range
  // made `corvane /usr/bin/*` 10% slower (8 ms to sort 117,000 of them).
  std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> order_;
  std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> starts_;
};

template <typename Visit>
bool NameIndex::ForEachDirectoryOf(std::string_view name, Visit visit) const {
  if (starts_.empty()) return false;
  const std::uint64_t hash = HashText(name);
  const std::size_t group = hash & (starts_.size() - 2);
  for (std::uint32_t at = starts_[group]; at < starts_[group + 1]; ++at) {
    const File& file = files_[order_[at]];
    if (file.hash() == hash && visit(directories_[file.directory])) return true;
  }
  return false;
}

}  // namespace corvane::posix
