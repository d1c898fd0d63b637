// The directories of recorded paths, each numbered once, and the texts of
// the recorded paths, each kept once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/posix/packages/large_pages.h"
#include "platform/posix/packages/package_database.h"

namespace corvane::posix {

class DirectoryTable {
 public:
  static constexpr std::uint32_t kRoot = 0;
  static constexpr std::uint32_t kNoParent = ~std::uint32_t{0};

  DirectoryTable() = default;
  DirectoryTable(const DirectoryTable&) = delete;
  DirectoryTable& operator=(const DirectoryTable&) = delete;
  ~DirectoryTable();

  // The number of the absolute directory `text` ("" for the root, no
  // trailing '/'), which is added when new, and so are the directories
  // above it.
  std::uint32_t Number(std::string_view text);
  std::size_t size() const { return directories_.size(); }
  std::string_view text(std::uint32_t number) const { return directories_[number].text; }
  std::uint32_t parent(std::uint32_t number) const { return directories_[number].parent; }

  // A copy of `text` that stays where it is as long as the table; bad_alloc
  // leaves the table as it was.
  std::string_view Keep(std::string_view text);

 private:
  struct Directory {
    std::string_view text;
    std::uint32_t parent;
  };
  struct Block {
    char* bytes;
    std::size_t size;
  };

  std::vector<Directory, LargeAllocator<Directory>> directories_;
  std::unordered_map<std::string_view, std::uint32_t, TextHash, std::equal_to<>> numbers_;
  // Lists come sorted, so most paths are in the directory of the one
  // before: asking the map only for another one takes 7% of the instructions
  // of `corvane /l` off (callgrind, on this project's 2-core Debian 12 VM).
  std::uint32_t last_ = kRoot;

  // Texts are copied into blocks from AllocateLarge, a huge page first and
  // each later one as large as all before it, up to a few huge pages.
  std::vector<Block> blocks_;
  char* free_ = nullptr;  // the unused end of the last block
  std::size_t room_ = 0;
  std::size_t kept_ = 0;  // bytes in all blocks
};

}  // namespace corvane::posix
