// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.

#include "platform/posix/helper_thread.h"

#include <pthread.h>
#include <sched.h>

namespace corvane::posix {
namespace {

std::atomic<bool> helpers_allowed{true};

}  // namespace

void AllowHelpers(bool allowed) { helpers_allowed.store(allowed, std::memory_order_relaxed); }
bool HelpersAllowed() { return helpers_allowed.load(std::memory_order_relaxed); }

namespace detail {

void AwayFromCaller(std::thread& thread) {
#if defined(__linux__)
  cpu_set_t allowed;
  const int here = sched_getcpu();
  if (here < 0 || sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  CPU_CLR(here, &allowed);
  if (CPU_COUNT(&allowed) > 0)
    pthread_setaffinity_np(thread.native_handle(), sizeof allowed, &allowed);
#else
  (void)thread;
#endif
}

void Pause(unsigned spins) {
  if (spins >= 4096) {
    sched_yield();
    return;
  }
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  asm volatile("yield");
#endif
}

}  // namespace detail
}  // namespace corvane::posix
