// The text operations on POSIX: file names and arguments are bytes, carried
// as the characters U+0000 to U+00FF of the same value, so any byte sequence
// widens and narrows back unchanged whatever the locale.
#include <cstdlib>
#include <cstring>

#include "platform/posix/error_codes.h"
#include "platform/posix/posix_platform.h"

namespace corvane::posix {
namespace {

constexpr std::uint32_t kErrorInsufficientBuffer = 122;

// The number of units `count` says, through the terminator when it is -1.
template <class Unit>
int Extent(const Unit* text, int count) {
  if (count != -1) return count;
  int n = 0;
  while (text[n] != 0) ++n;
  return n + 1;
}

}  // namespace

char16_t** PosixPlatform::CommandLineToArgvW(int argc, const char* const* argv, int* count) {
  if (count == nullptr || argc < 0) return Fail(kErrorInvalidParameter), nullptr;
  // One block: the pointers (and a null after them, as main's have), then the texts.
  std::size_t characters = 0;
  for (int i = 0; i < argc; ++i) characters += std::strlen(argv[i]) + 1;
  const std::size_t pointers = (static_cast<std::size_t>(argc) + 1) * sizeof(char16_t*);
  void* block = std::malloc(pointers + characters * sizeof(char16_t));
  if (block == nullptr) return Fail(kErrorNotEnoughMemory), nullptr;
  auto** arguments = static_cast<char16_t**>(block);
  auto* text = reinterpret_cast<char16_t*>(static_cast<char*>(block) + pointers);
  for (int i = 0; i < argc; ++i) {
    arguments[i] = text;
    for (const char* byte = argv[i];; ++byte) {
      *text++ = static_cast<unsigned char>(*byte);
      if (*byte == 0) break;
    }
  }
  arguments[argc] = nullptr;
  *count = argc;
  return arguments;
}

int PosixPlatform::MultiByteToWideChar(std::uint32_t, std::uint32_t, const char* text, int count,
                                       char16_t* wide, int wide_count) {
  if (text == nullptr || count < -1 || wide_count < 0) return int(Fail(kErrorInvalidParameter));
  const int n = Extent(text, count);
  if (wide_count == 0) return n;
  if (n > wide_count) return int(Fail(kErrorInsufficientBuffer));
  for (int i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  return n;
}

int PosixPlatform::WideCharToMultiByte(std::uint32_t, std::uint32_t, const char16_t* wide,
                                       int count, char* text, int text_count,
                                       const char* default_char, int* used_default) {
  if (wide == nullptr || count < -1 || text_count < 0) return int(Fail(kErrorInvalidParameter));
  const int n = Extent(wide, count);
  if (text_count == 0) return n;
  if (n > text_count) return int(Fail(kErrorInsufficientBuffer));
  const char replacement = default_char != nullptr ? *default_char : '?';
  for (int i = 0; i < n; ++i) {
    // Only the core's own text can hold a character above U+00FF here.
    const bool fits = wide[i] <= 0xFF;
    text[i] = fits ? static_cast<char>(wide[i]) : replacement;
    if (!fits && used_default != nullptr) *used_default = 1;
  }
  return n;
}

}  // namespace corvane::posix
