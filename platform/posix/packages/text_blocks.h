// Copies of texts that stay where they are as long as the store lives.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace corvane::posix {

class TextBlocks {
 public:
  TextBlocks() = default;
  TextBlocks(const TextBlocks&) = delete;
  TextBlocks& operator=(const TextBlocks&) = delete;
  ~TextBlocks();

  // A copy of `text`; bad_alloc leaves the store as it was.
  std::string_view Keep(std::string_view text);

 private:
  struct Block {
    char* bytes;
    std::size_t size;
  };
  std::vector<Block> blocks_;  // each from AllocateLarge
  char* free_ = nullptr;       // the unused end of the last block
  std::size_t room_ = 0;
  std::size_t kept_ = 0;  // bytes in all blocks
};

}  // namespace corvane::posix
