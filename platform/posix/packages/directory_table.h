// The directories of recorded paths, each numbered once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/posix/packages/directory_resolver.h"
#include "platform/posix/packages/large_pages.h"
#include "platform/posix/packages/text_blocks.h"

namespace corvane::posix {

class DirectoryTable {
 public:
  static constexpr std::uint32_t kRoot = 0;
  static constexpr std::uint32_t kNoParent = ~std::uint32_t{0};

  // Texts are kept in blocks of `first_block` bytes and more (TextBlocks).
  explicit DirectoryTable(std::size_t first_block) : texts_(first_block) {}

  // The number of the absolute directory `text` ("" for the root, no
  // trailing '/'), which is added when new, and so are the directories
  // above it. Asking for the same one as last time is cheap: lists come
  // sorted, so most paths are in the directory of the one before.
  std::uint32_t Number(std::string_view text);
  std::size_t size() const { return directories_.size(); }
  std::string_view text(std::uint32_t number) const { return directories_[number].text; }
  std::uint32_t parent(std::uint32_t number) const { return directories_[number].parent; }

  // A copy of `text` that stays valid as long as the table.
  std::string_view Keep(std::string_view text) { return texts_.Keep(text); }

 private:
  struct Directory {
    std::string_view text;
    std::uint32_t parent;
  };

  std::vector<Directory, LargeAllocator<Directory>> directories_;
  std::unordered_map<std::string_view, std::uint32_t, TextHash, std::equal_to<>> numbers_;
  std::uint32_t last_ = kRoot;
  TextBlocks texts_;
};

}  // namespace corvane::posix
