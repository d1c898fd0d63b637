// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.

#include "platform/posix/large_pages.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace corvane::posix {
namespace {

void* Small(std::size_t bytes, bool zero) {
  void* const block = ::operator new(bytes);
  if (zero) std::memset(block, 0, bytes);
  return block;
}

#if CORVANE_LARGE_PAGES
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t RoundUp(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }
#endif

}  // namespace

#if CORVANE_LARGE_PAGES
void* AllocateLarge(std::size_t bytes, bool zero) {
  if (bytes < kLargeBlock) return Small(bytes, zero);
  if (bytes > SIZE_MAX / 2) throw std::bad_alloc();
  const std::size_t size = RoundUp(bytes);
  // One huge page more than needed, so that an aligned run of them fits.
  void* const mapped = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = RoundUp(start);
  if (aligned != start) munmap(mapped, aligned - start);
  if (const std::size_t after = start + kHugePage - aligned; after != 0)
    munmap(reinterpret_cast<void*>(aligned + size), after);
  void* const block = reinterpret_cast<void*>(aligned);
  // A last huge page mostly unused would cost more to clear than the small
  // pages it stands for. Only advice: where huge pages are off, or none is
  // free, small ones come.
  const std::size_t advised = bytes % kHugePage >= kLargeBlock ? size : bytes - bytes % kHugePage;
  if (advised != 0) madvise(block, advised, MADV_HUGEPAGE);
  return block;
}

void FreeLarge(void* block, std::size_t bytes) noexcept {
  if (block == nullptr) return;
  if (bytes < kLargeBlock)
    ::operator delete(block);
  else
    munmap(block, RoundUp(bytes));
}
#else
// Plain heap memory, for builds whose checkers watch the heap.
void* AllocateLarge(std::size_t bytes, bool zero) {
  if (bytes < kLargeBlock) return Small(bytes, zero);
  void* const block = zero ? std::calloc(bytes, 1) : std::malloc(bytes);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void FreeLarge(void* block, std::size_t bytes) noexcept {
  if (bytes < kLargeBlock)
    ::operator delete(block);
  else
    std::free(block);
}
#endif

}  // namespace corvane::posix
