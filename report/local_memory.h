// Ownership of memory the system allocated for the caller, so every way out
// of a scope hands it back with LocalFree.
#pragma once

#include "platform/platform.h"

namespace corvane {

template <class T>
class ScopedLocal {
 public:
  // Takes `memory` (may be null: there is nothing to free then).
  ScopedLocal(Platform& platform, T* memory) : platform_(platform), memory_(memory) {}
  ~ScopedLocal() {
    if (memory_ != nullptr) platform_.LocalFree(memory_);
  }
  ScopedLocal(const ScopedLocal&) = delete;
  ScopedLocal& operator=(const ScopedLocal&) = delete;

  T* get() const { return memory_; }

 private:
  Platform& platform_;
  T* memory_;
};

}  // namespace corvane
