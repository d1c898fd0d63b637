// The one way Corvane writes text: wide format strings, narrowed to bytes on
// their way to standard output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/platform.h"

namespace corvane {

// One argument of a format: %s takes text, %d a signed 32-bit integer.
struct FormatArg {
  FormatArg(const char16_t* text) : text(text) {}                      // NOLINT: implicit by design
  FormatArg(std::int32_t number) : is_number(true), number(number) {}  // NOLINT
  // Text held in an array of `extent` characters: it ends there at the latest.
  FormatArg(const char16_t* text, std::size_t extent) : text(text), extent(extent) {}
  bool is_number = false;
  const char16_t* text = nullptr;
  std::size_t extent = kUnknownExtent;
  std::int32_t number = 0;

  static constexpr std::size_t kUnknownExtent = ~std::size_t{0};
};

class Console {
 public:
  explicit Console(Platform& platform) : platform_(platform) {}

  // Formats one message and writes it as one piece. Characters up to U+00FF
  // become the byte of the same value; the first character above U+00FF ends
  // the message there, silently. Returns the number of characters written.
  // A directive whose argument is missing or of the other kind inserts nothing.
  int Write(const char16_t* format, std::initializer_list<FormatArg> args = {}) {
    return Write(format, args.begin(), args.size());
  }
  int Write(const char16_t* format, const FormatArg* args, std::size_t count);

 private:
  Platform& platform_;
};

// Widens narrow text byte for byte (0xbb becomes U+00bb) into `destination`,
// at most `max_count` characters. A zero byte is stored and ends the copy;
// when `max_count` is reached first no terminator is stored. Returns the
// number of characters stored, terminator included.
std::size_t WidenText(char16_t* destination, const char* source, std::size_t max_count);

}  // namespace corvane
