// Shared by the fuzz targets: a failed property aborts, which libFuzzer
// reports as a crash with the input that caused it.
#pragma once

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
