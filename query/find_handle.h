// Ownership of a directory search, so every way out of a walk ends it.
#pragma once

#include "platform/platform.h"
#include "platform/unique_any.h"

namespace corvane {

struct FindSearchTraits {
  using Type = Handle;
  static Handle Invalid() { return kInvalidHandleValue; }
  static bool Valid(Handle search) { return search != kInvalidHandleValue; }
  void Close(Handle search) const { platform->FindClose(search); }
  Platform* platform = nullptr;
};
using ScopedFindHandle = UniqueAny<FindSearchTraits>;

}  // namespace corvane
