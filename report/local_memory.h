// Ownership of memory the system allocated for the caller, so every way out
// of a scope hands it back with LocalFree.
#pragma once

#include "platform/platform.h"
#include "platform/unique_any.h"

namespace corvane {

template <class T>
struct LocalMemoryTraits {
  using Type = T*;
  static T* Invalid() { return nullptr; }
  static bool Valid(T* memory) { return memory != nullptr; }
  void Close(T* memory) const { platform->LocalFree(memory); }
  Platform* platform = nullptr;
};
template <class T>
using ScopedLocal = UniqueAny<LocalMemoryTraits<T>>;

}  // namespace corvane
