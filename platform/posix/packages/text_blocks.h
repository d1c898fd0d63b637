// Copies of texts that stay where they are as long as the store lives.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/posix/packages/large_pages.h"

namespace corvane::posix {

class TextBlocks {
 public:
  // A copy of `text`; bad_alloc leaves the store as it was.
  std::string_view Keep(std::string_view text);

 private:
  // Each block is filled no further than its first size, so it never moves.
  std::vector<std::vector<char, LargeAllocator<char>>> blocks_;
  std::size_t kept_ = 0;  // bytes in all blocks
};

}  // namespace corvane::posix
