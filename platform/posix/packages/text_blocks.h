// Copies of texts that stay where they are as long as the store lives.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace corvane::posix {

class TextBlocks {
 public:
  // The first block holds `first_block` bytes; each later one as many as
  // all before it, up to a few huge pages.
  explicit TextBlocks(std::size_t first_block = std::size_t{64} << 10)
      : first_block_(first_block) {}
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
  std::size_t first_block_;
  std::size_t kept_ = 0;  // bytes in all blocks
};

}  // namespace corvane::posix
