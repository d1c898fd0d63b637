// The lexical full path: FoldPath's result is absolute, folded and stable,
// and GetFullPathNameW writes it only when it fits the size it was given,
// terminator included, touching nothing past that.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "check.h"
#include "platform/posix/lexical_path.h"
#include "platform/posix/posix_platform.h"
#include "report/guarded.h"

namespace {

void CheckFolded(const std::string& path) {
  const std::string folded = corvane::posix::FoldPath(path);
  FUZZ_CHECK(!folded.empty() && folded[0] == '/');
  FUZZ_CHECK(folded.find("//") == std::string::npos);
  const std::string inner = folded + (folded.back() == '/' ? "" : "/");
  FUZZ_CHECK(inner.find("/./") == std::string::npos && inner.find("/../") == std::string::npos);
  FUZZ_CHECK(corvane::posix::FoldPath(folded) == folded);
  const bool trailing = folded.size() > 1 && folded.back() == '/';
  FUZZ_CHECK(trailing == (folded != "/" && !path.empty() && path.back() == '/'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::uint32_t buffer_size =
      input.ConsumeIntegralInRange<std::uint32_t>(0, corvane::kPathBufferSize);
  const bool wide = input.ConsumeBool();
  std::u16string name;
  while (input.remaining_bytes() > 0 && name.size() < 600) {
    const char16_t c = wide ? input.ConsumeIntegral<char16_t>() : input.ConsumeIntegral<char>();
    if (c != 0) name += static_cast<char16_t>(wide ? c : static_cast<unsigned char>(c));
  }
  const std::string bytes = Bytes(name);
  const bool narrow = std::all_of(name.begin(), name.end(), [](char16_t c) { return c <= 0xFF; });
  if (narrow) CheckFolded(bytes);

  static corvane::posix::PosixPlatform platform("/nonexistent");
  corvane::Guarded<char16_t[corvane::kPathBufferSize]> buffer;
  std::fill(std::begin(buffer.value), std::end(buffer.value), kUntouched);
  char16_t* file_part = nullptr;
  const std::uint32_t result =
      platform.GetFullPathNameW(name.c_str(), buffer_size, buffer.value, &file_part);
  FUZZ_CHECK(buffer.intact());
  const auto untouched_from = [&](std::size_t from) {
    return Untouched(buffer.value + from, std::end(buffer.value));
  };
  if (result == 0) {
    FUZZ_CHECK(platform.GetLastError() != 0 && untouched_from(0));
  } else if (result < buffer_size) {
    FUZZ_CHECK(buffer.value[result] == 0 && untouched_from(result + 1));
    FUZZ_CHECK(std::find(buffer.value, buffer.value + result, u'\0') == buffer.value + result);
    FUZZ_CHECK(buffer.value[0] == u'/');
    FUZZ_CHECK(file_part == nullptr ||
               (file_part > buffer.value && file_part < buffer.value + result));
    if (narrow && bytes[0] == '/') {
      FUZZ_CHECK(std::u16string(buffer.value, result) == Widen(corvane::posix::FoldPath(bytes)));
    }
  } else {
    FUZZ_CHECK(untouched_from(0));
  }
  return 0;
}
