// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.
//
// Where the checksum lists record each last component: hashes of names
// pointing at lines in the lists, so that a question reads back only the
// few lines that may record its file. Eight bytes a line.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "platform/posix/large_pages.h"

namespace corvane::posix {

// The hash the index files a last component under.
std::uint32_t NameHash(std::string_view name);

class NameIndex {
 public:
  NameIndex();

  // Starts the lines of list `list`; lists come in order, each once,
  // except that the last one started may start again, dropping its lines.
  void StartList(std::uint32_t list);
  // Adds the line at `offset` of the current list under `hash`; bad_alloc
  // past the 4 GiB an offset can say.
  void Add(std::uint32_t hash, std::uint64_t offset) {
    if (offset >> 32 != 0) throw std::bad_alloc();
    lines_.push_back(Line{hash, static_cast<std::uint32_t>(offset)});
  }
  // Makes ForEachLine answer; call once every line is added.
  void Build();
  // Calls `visit(list, offset)` with each line added under `hash`, and
  // maybe a few under other hashes, until it returns true; true when it did.
  template <typename Visit>
  bool ForEachLine(std::uint32_t hash, Visit visit) const;

 private:
  struct Line {
    std::uint32_t hash;
    std::uint32_t offset;
  };
  static constexpr std::uint32_t kEnd = ~std::uint32_t{0};

  // Where a hash's chain starts, or the empty slot it would take.
  std::size_t Probe(std::uint32_t hash) const;
  std::uint32_t ListOf(std::uint32_t line) const;

  std::vector<Line, LargeAllocator<Line>> lines_;
  std::vector<std::uint32_t> starts_;  // by list: its first line
  std::vector<std::uint32_t> lists_;   // the list numbers starts_ stands for
  // A slot holds a hash in its high half and its latest line plus one in
  // its low half; lines with equal hashes share a chain.
  std::unique_ptr<std::uint64_t[], LargeFree> slots_;
  std::size_t slot_count_ = 0;
  std::unique_ptr<std::uint32_t[], LargeFree> next_;  // the line before in the same chain
};

template <typename Visit>
bool NameIndex::ForEachLine(std::uint32_t hash, Visit visit) const {
  if (slots_ == nullptr) return false;
  const std::uint64_t held = slots_[Probe(hash)];
  if (held == 0) return false;
  for (std::uint32_t line = static_cast<std::uint32_t>(held) - 1; line != kEnd; line = next_[line])
    if (visit(ListOf(line), std::uint64_t{lines_[line].offset})) return true;
  return false;
}

}  // namespace corvane::posix
