// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.

#include "platform/posix/name_index.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace corvane::posix {

namespace {

std::uint64_t Load64(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

std::uint32_t Load32(const char* at) {
  std::uint32_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

}  // namespace

std::uint32_t NameHash(std::string_view name) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  const char* const text = name.data();
  const std::size_t size = name.size();
  // Fixed-size loads only, the last ones overlapping the ones before: a
  // copy of a variable size would cost more than the hash of a short name.
  std::uint64_t hash = (size + 1) * kMultiplier;
  if (size >= 8) {
    for (std::size_t at = 0; at + 8 < size; at += 8)
      hash = (hash ^ Load64(text + at)) * kMultiplier;
    hash = (hash ^ Load64(text + size - 8)) * kMultiplier;
  } else if (size >= 4) {
    hash = (hash ^ (std::uint64_t{Load32(text)} << 32 | Load32(text + size - 4))) * kMultiplier;
  } else if (size > 0) {
    const auto byte = [&](std::size_t at) {
      return std::uint64_t{static_cast<unsigned char>(text[at])};
    };
    hash = (hash ^ (byte(0) << 16 | byte(size / 2) << 8 | byte(size - 1))) * kMultiplier;
  }
  hash ^= hash >> 29;
  hash *= kMultiplier;
  return static_cast<std::uint32_t>(hash >> 32);
}

// Untouched pages cost nothing, and growing would copy and touch twice as much.
NameIndex::NameIndex() { lines_.reserve(std::size_t{1} << 21); }

void NameIndex::StartList(std::uint32_t list) {
  if (!lists_.empty() && lists_.back() == list) {
    lines_.resize(starts_.back());
    return;
  }
  starts_.push_back(static_cast<std::uint32_t>(lines_.size()));
  lists_.push_back(list);
}

void NameIndex::Build() {
  if (lines_.size() >= kEnd) throw std::bad_alloc();
  // At most four fifths full, however many names differ.
  slot_count_ = std::max<std::size_t>(1024, lines_.size() + lines_.size() / 4);
  const std::size_t slot_bytes = slot_count_ * sizeof(std::uint64_t);
  slots_ = {static_cast<std::uint64_t*>(AllocateLarge(slot_bytes, true)), LargeFree{slot_bytes}};
  // Every entry is written before it is read: no zero-filling.
  const std::size_t next_bytes = lines_.size() * sizeof(std::uint32_t);
  next_ = {static_cast<std::uint32_t*>(AllocateLarge(next_bytes)), LargeFree{next_bytes}};
  constexpr std::size_t kAhead = 16;  // slots asked for early: the table is mostly not in cache
  for (std::uint32_t line = 0; line < lines_.size(); ++line) {
#if defined(__GNUC__)
    if (line + kAhead < lines_.size())
      __builtin_prefetch(&slots_[(std::uint64_t{lines_[line + kAhead].hash} * slot_count_) >> 32]);
#endif
    const std::uint32_t hash = lines_[line].hash;
    std::uint64_t& slot = slots_[Probe(hash)];
    next_[line] = slot == 0 ? kEnd : static_cast<std::uint32_t>(slot) - 1;
    slot = std::uint64_t{hash} << 32 | (line + 1);
  }
}

std::size_t NameIndex::Probe(std::uint32_t hash) const {
  for (std::size_t slot = (std::uint64_t{hash} * slot_count_) >> 32;;) {
    const std::uint64_t held = slots_[slot];
    if (held == 0 || held >> 32 == hash) return slot;
    if (++slot == slot_count_) slot = 0;
  }
}

std::uint32_t NameIndex::ListOf(std::uint32_t line) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), line);
  return lists_[static_cast<std::size_t>(after - starts_.begin()) - 1];
}

}  // namespace corvane::posix
