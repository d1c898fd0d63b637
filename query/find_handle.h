// Ownership of a directory search, so every way out of a walk ends it.
#pragma once

#include "platform/platform.h"

namespace corvane {

class ScopedFindHandle {
 public:
  ScopedFindHandle(Platform& platform, Handle handle) : platform_(platform), handle_(handle) {}
  ~ScopedFindHandle() {
    if (valid()) platform_.FindClose(handle_);
  }
  ScopedFindHandle(const ScopedFindHandle&) = delete;
  ScopedFindHandle& operator=(const ScopedFindHandle&) = delete;

  bool valid() const { return handle_ != kInvalidHandleValue; }
  Handle get() const { return handle_; }

 private:
  Platform& platform_;
  Handle handle_;
};

}  // namespace corvane
