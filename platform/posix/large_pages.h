// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.
//
// Memory for the few large arrays a listing or a name index fills at once.
// Faulting fresh memory in 4 KiB at a time costs more here than the work
// that fills it, so large blocks are asked to come as transparent huge
// pages where the system offers them (its THP setting has the last word).
#pragma once

#include <cstddef>
#include <new>

namespace corvane::posix {

// Blocks at least this large go to huge pages, and so does a last part of
// a block at least this large; below it, one huge page would cost more to
// clear than the small pages it stands for.
inline constexpr std::size_t kLargeBlock = std::size_t{512} << 10;

// `bytes` of memory, zero-filled when `zero` (at no cost for a large
// block: its pages come fresh); bad_alloc when there is no room. Free it
// with FreeLarge and the same `bytes`.
void* AllocateLarge(std::size_t bytes, bool zero = false);
void FreeLarge(void* block, std::size_t bytes) noexcept;

// A standard allocator over AllocateLarge, for vectors that grow large.
template <typename T>
struct LargeAllocator {
  using value_type = T;

  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) {}

  T* allocate(std::size_t count) {
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(AllocateLarge(count * sizeof(T)));
  }
  void deallocate(T* block, std::size_t count) noexcept { FreeLarge(block, count * sizeof(T)); }

  template <typename U>
  bool operator==(const LargeAllocator<U>&) const {
    return true;
  }
};

// Frees a block of AllocateLarge that holds `bytes`, for unique_ptr.
struct LargeFree {
  std::size_t bytes = 0;
  void operator()(void* block) const noexcept { FreeLarge(block, bytes); }
};

}  // namespace corvane::posix
