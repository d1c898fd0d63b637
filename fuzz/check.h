// Shared by the fuzz targets: a failed property aborts, which libFuzzer
// reports as a crash with the input that caused it.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

// Byte b as U+00bb, as the POSIX platform carries names.
inline std::u16string Widen(std::string_view bytes) {
  std::u16string wide;
  for (char byte : bytes) wide += static_cast<unsigned char>(byte);
  return wide;
}
// The low byte of every character.
inline std::string Bytes(std::u16string_view text) {
  std::string bytes;
  for (char16_t c : text) bytes += static_cast<char>(c);
  return bytes;
}

// A buffer is filled with this before the call under test, so that what it
// wrote shows.
inline constexpr char16_t kUntouched = 0xBEEF;
inline bool Untouched(const char16_t* from, const char16_t* to) {
  return std::all_of(from, to, [](char16_t c) { return c == kUntouched; });
}
