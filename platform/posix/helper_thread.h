// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.
//
// A second thread for work the caller would otherwise do itself, and the
// waiting between the two. Work handed to a helper is always such that the
// caller can do it instead, so a helper that cannot be had, or begins late,
// costs time and nothing else.
#pragma once

#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

namespace corvane::posix {

// Runs `work` on a new thread on another processor than the caller's; an
// empty std::thread when no thread can be had, or helpers are not allowed.
template <typename Work>
std::thread StartHelper(Work work);

// Whether StartHelper starts threads; they are allowed until this says
// otherwise. Tests turn them off to see callers do all the work alone.
void AllowHelpers(bool allowed);
bool HelpersAllowed();

// Returns once `value` no longer holds `held`, its change seen with
// acquire ordering. Meant for waits of a few milliseconds at most.
template <typename T>
void WaitWhile(const std::atomic<T>& value, T held);

namespace detail {
// Keeps `thread` off the caller's processor, where a new thread is often
// queued behind its busy creator until the next rebalancing, milliseconds later.
void AwayFromCaller(std::thread& thread);
// One step of a busy wait: a spin at first, then giving the processor away
// in case both threads share it.
void Pause(unsigned spins);
}  // namespace detail

template <typename Work>
std::thread StartHelper(Work work) {
  std::thread thread;
  if (!HelpersAllowed()) return thread;
  try {
    thread = std::thread(std::move(work));
  } catch (const std::system_error&) {
    return std::thread();
  }
  detail::AwayFromCaller(thread);
  return thread;
}

template <typename T>
void WaitWhile(const std::atomic<T>& value, T held) {
  // Not a futex: waking a sleeping thread here often takes milliseconds.
  for (unsigned spins = 0; value.load(std::memory_order_acquire) == held; ++spins)
    detail::Pause(spins);
}

}  // namespace corvane::posix
