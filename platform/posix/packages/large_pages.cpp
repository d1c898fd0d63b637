#include "platform/posix/packages/large_pages.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace corvane::posix {

void* AllocateLarge(std::size_t bytes) {
  // Smaller blocks could not hold a whole huge page: the heap serves them as any.
  if (bytes < kHugePage) return ::operator new(bytes);
  if (bytes > SIZE_MAX / 2) throw std::bad_alloc();
  void* const block =
      std::aligned_alloc(kHugePage, (bytes + kHugePage - 1) / kHugePage * kHugePage);
  if (block == nullptr) throw std::bad_alloc();
  // Only the huge pages the block fills: a huge page counts whole in the
  // process's memory however little of it is used. Only advice: where huge
  // pages are off, or none is free, small ones come.
  madvise(block, bytes - bytes % kHugePage, MADV_HUGEPAGE);
  return block;
}

void FreeLarge(void* block, std::size_t bytes) noexcept {
  if (bytes < kHugePage)
    ::operator delete(block);
  else
    std::free(block);
}

}  // namespace corvane::posix
