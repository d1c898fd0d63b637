#include "platform/posix/packages/directory_table.h"

#include <algorithm>
#include <cstring>

namespace corvane::posix {

DirectoryTable::~DirectoryTable() {
  for (const Block& block : blocks_) FreeLarge(block.bytes, block.size);
}

std::string_view DirectoryTable::Keep(std::string_view text) {
  if (text.empty()) return {};
  if (room_ < text.size()) {
    constexpr std::size_t kLastBlock = 2 * kHugePage;
    const std::size_t size = std::max(text.size(), std::clamp(kept_, kHugePage, kLastBlock));
    blocks_.reserve(blocks_.size() + 1);
    blocks_.push_back({static_cast<char*>(AllocateLarge(size)), size});
    free_ = blocks_.back().bytes;
    room_ = size;
  }
  char* const at = free_;
  std::memcpy(at, text.data(), text.size());
  free_ += text.size();
  room_ -= text.size();
  kept_ += text.size();
  return {at, text.size()};
}

std::uint32_t DirectoryTable::Number(std::string_view text) {
  if (directories_.empty()) {
    directories_.push_back({std::string_view(), kNoParent});
    numbers_.emplace(std::string_view(), kRoot);
  }
  // The directories not yet known, the deepest first; the root always is.
  std::vector<std::size_t> missing;
  std::uint32_t parent = kRoot;
  for (std::string_view at = text;; at = at.substr(0, at.rfind('/'))) {
    if (const auto known = numbers_.find(at); known != numbers_.end()) {
      parent = known->second;
      break;
    }
    missing.push_back(at.size());
  }
  if (!missing.empty()) {
    // Each one's text is the start of the deepest one's.
    for (auto size = missing.rbegin(); size != missing.rend(); ++size) {
      const auto number = static_cast<std::uint32_t>(directories_.size());
      directories_.push_back({text.substr(0, *size), parent});
      numbers_.emplace(directories_.back().text, number);
      parent = number;
    }
  }
  return parent;
}

}  // namespace corvane::posix
