#include "platform/posix/packages/large_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace corvane::posix {
namespace {

// Smaller blocks could not hold a whole huge page: the heap serves them.
constexpr std::size_t kLargeBlock = kHugePage;

std::size_t RoundUp(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

void* AllocateLarge(std::size_t bytes) {
  if (bytes < kLargeBlock) return ::operator new(bytes);
  if (bytes > SIZE_MAX / 2) throw std::bad_alloc();
  const std::size_t size = RoundUp(bytes);
  // One huge page more than needed, so that an aligned run of them fits.
  void* const mapped =
      mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = RoundUp(start);
  if (aligned != start) munmap(mapped, aligned - start);
  if (const std::size_t after = start + kHugePage - aligned; after != 0)
    munmap(reinterpret_cast<void*>(aligned + size), after);
  void* const block = reinterpret_cast<void*>(aligned);
  // Only the huge pages the block fills: a huge page counts whole in the
  // process's memory however little of it is used. Only advice: where huge
  // pages are off, or none is free, small ones come.
  if (const std::size_t whole = bytes - bytes % kHugePage; whole != 0)
    madvise(block, whole, MADV_HUGEPAGE);
  return block;
}

void FreeLarge(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  if (bytes < kLargeBlock)
    ::operator delete(block);
  else
    munmap(block, RoundUp(bytes));
}

}  // namespace corvane::posix
