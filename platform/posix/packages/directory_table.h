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
  // trailing '/'), a text Keep gave, which is added when new, and so are
  // the directories above it.
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

  // Texts are copied into blocks from AllocateLarge, a huge page first and
  // each later one as large as all before it, up to a few huge pages.
  std::vector<Block> blocks_;
  char* free_ = nullptr;  // the unused end of the last block
  std::size_t room_ = 0;
  std::size_t kept_ = 0;  // bytes in all blocks
};

}  // namespace corvane::posix
