// A run-long buffer between two guard zones of a fixed pattern, so that a
// test can tell whether anything wrote past either end of it.
#pragma once

#include <array>
#include <cstddef>

namespace corvane {

inline constexpr std::size_t kGuardSize = 16;

template <class T>
struct Guarded {
  // Read as UTF-16 the pattern is "########": a read past the end shows up
  // in the output instead of ending at a terminator.
  static constexpr std::array<unsigned char, kGuardSize> Pattern() {
    std::array<unsigned char, kGuardSize> bytes{};
    for (std::size_t i = 0; i < kGuardSize; ++i) bytes[i] = i % 2 == 0 ? 0x23 : 0x00;
    return bytes;
  }

  std::array<unsigned char, kGuardSize> before = Pattern();
  T value = {};
  std::array<unsigned char, kGuardSize> after = Pattern();

  // True while both guard zones still hold the pattern.
  bool intact() const { return before == Pattern() && after == Pattern(); }
};

}  // namespace corvane
