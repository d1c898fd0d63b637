// The one way Corvane writes text: wide format strings, narrowed to the
// system's code page on their way to standard output, or as they are to a
// console.
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

  // Formats one message and writes it as one piece: to a console as wide
  // text, otherwise narrowed by the platform's WideCharToMultiByte, where a
  // character the code page lacks becomes its default character ('?') and
  // the rest of the message follows. Returns the number of characters (to a
  // console) or bytes written; a conversion that fails drops the rest of the
  // message. A directive whose argument is missing or of the other kind
  // inserts nothing.
  int Write(const char16_t* format, std::initializer_list<FormatArg> args = {}) {
    return Write(format, args.begin(), args.size());
  }
  int Write(const char16_t* format, const FormatArg* args, std::size_t count);

 private:
  Platform& platform_;
};

}  // namespace corvane
