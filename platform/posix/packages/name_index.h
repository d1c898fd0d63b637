// Which recorded files have a given last component: chains over the one store, grouped by a hash of
// the name. The hash only picks candidates; a file answers only when its name is the asked one byte
// for byte, as a name can be made to collide.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/posix/packages/large_pages.h"
#include "platform/posix/packages/package_database.h"
#include "platform/posix/packages/recorded_files.h"

namespace corvane::posix {

// `Hash` maps a name to a std::size_t: TextHash, or another in the tests.
template <typename Hash = TextHash>
class NameIndex {
 public:
  // Indexes every file of `files`, which must outlive the index unchanged.
  void Build(const RecordedFiles& files) {
    files_ = &files;
    // About two files a group, a power of two of them.
    std::size_t groups = 1;
    while (groups * 2 < files.size()) groups *= 2;
    heads_.reserve(std::max(groups, kHugePageOf<std::uint32_t>));
    heads_.assign(groups, kEnd);
    next_.reserve(std::max<std::size_t>(files.size(), kHugePageOf<std::uint32_t>));
    next_.resize(files.size());
    for (std::uint32_t file = 0; file < files.size(); ++file) {
      std::uint32_t& head = heads_[Hash{}(files.name(file)) & (groups - 1)];
      next_[file] = head;
      head = file;
    }
  }

  // Calls `visit(directory)` with the directory of each file recorded as
  // `name` until it returns true; true when it did.
  template <typename Visit>
  bool ForEachDirectoryOf(std::string_view name, Visit visit) const {
    if (heads_.empty()) return false;
    for (std::uint32_t file = heads_[Hash{}(name) & (heads_.size() - 1)]; file != kEnd;
         file = next_[file])
      if (files_->name(file) == name && visit(files_->directory(file))) return true;
    return false;
  }

 private:
  static constexpr std::uint32_t kEnd = ~std::uint32_t{0};

  const RecordedFiles* files_ = nullptr;
  // A chain of file numbers a group: one pass to build, no more memory than a sorted order.
  std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> heads_;  // by group: first file
  std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> next_;   // by file: next in its group
};

}  // namespace corvane::posix
