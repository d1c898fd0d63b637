// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.
//
// Single lines of the checksum lists, read back at the offsets the name
// index gives, through a few cached blocks: the lines that a run of
// questions lands on (the files of one directory, in order) are often near
// each other in one list, and a read of a block costs about what a read of
// a line does.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace corvane::posix {

class ListLines {
 public:
  // 0 with the line of list `list` that starts at `offset`, without its
  // '\n', in *line: it runs to its '\n' or to the end of the list, and is
  // empty when the list ends before `offset`. A list cut short since it
  // was indexed may end sooner, except where a block read before the cut
  // answers. The list is open as `fd`; only a `regular` file's blocks are
  // kept, as only its short read means its end. *line stays valid, and may
  // be rewritten, until the next call. Or the errno of a failed read, with
  // *line empty.
  int Read(std::uint32_t list, int fd, bool regular, std::uint64_t offset,
           std::span<char>* line);

 private:
  static constexpr std::size_t kBlockSize = 4096;
  static constexpr std::size_t kBlocks = 64;
  static constexpr std::uint32_t kNoList = ~std::uint32_t{0};

  struct Block {
    std::uint32_t list = kNoList;
    std::uint32_t size = 0;  // bytes read, short only at the list's end
    std::uint64_t start = 0;
  };

  // Read without the cache: for a line that runs past its block.
  int ReadDirect(int fd, std::uint64_t offset, std::span<char>* line);

  std::array<Block, kBlocks> blocks_;
  std::unique_ptr<char[]> bytes_;  // kBlocks blocks of kBlockSize
  std::vector<char> line_;
};

}  // namespace corvane::posix
