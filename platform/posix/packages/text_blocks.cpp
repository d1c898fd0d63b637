#include "platform/posix/packages/text_blocks.h"

#include <algorithm>

namespace corvane::posix {
namespace {

constexpr std::size_t kFirstBlock = std::size_t{64} << 10;
constexpr std::size_t kLastBlock = std::size_t{4} << 20;

}  // namespace

std::string_view TextBlocks::Keep(std::string_view text) {
  if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < text.size()) {
    // Each block as large as all before it, up to a few huge pages.
    std::vector<char, LargeAllocator<char>> block;
    block.reserve(std::max(text.size(), std::clamp(kept_, kFirstBlock, kLastBlock)));
    blocks_.push_back(std::move(block));
  }
  std::vector<char, LargeAllocator<char>>& block = blocks_.back();
  const std::size_t at = block.size();
  block.insert(block.end(), text.begin(), text.end());
  kept_ += text.size();
  return {block.data() + at, text.size()};
}

}  // namespace corvane::posix
