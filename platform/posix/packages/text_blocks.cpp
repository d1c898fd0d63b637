#include "platform/posix/packages/text_blocks.h"

#include <algorithm>
#include <cstring>

#include "platform/posix/packages/large_pages.h"

namespace corvane::posix {
namespace {

constexpr std::size_t kLastBlock = std::size_t{4} << 20;

}  // namespace

TextBlocks::~TextBlocks() {
  for (const Block& block : blocks_) FreeLarge(block.bytes, block.size);
}

std::string_view TextBlocks::Keep(std::string_view text) {
  if (text.empty()) return {};
  if (room_ < text.size()) {
    const std::size_t size =
        std::max(text.size(), std::clamp(kept_, first_block_, std::max(first_block_, kLastBlock)));
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

}  // namespace corvane::posix
