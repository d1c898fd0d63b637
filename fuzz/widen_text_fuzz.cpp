// Text widening of any bytes with any limit: each byte becomes the
// character of its value, the copy stops after a zero byte or at the limit,
// and nothing past what it stored is touched.
#include <fuzzer/FuzzedDataProvider.h>

#include <vector>

#include "check.h"
#include "report/console.h"
#include "report/guarded.h"

constexpr std::size_t kCapacity = 600;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t limit = input.ConsumeIntegralInRange<std::size_t>(0, kCapacity);
  std::vector<char> source = input.ConsumeRemainingBytes<char>();
  source.push_back('\0');  // read up to its first zero byte at most

  corvane::Guarded<char16_t[kCapacity]> destination;
  std::fill(std::begin(destination.value), std::end(destination.value), kUntouched);
  const std::size_t stored = corvane::WidenText(destination.value, source.data(), limit);

  FUZZ_CHECK(destination.intact());
  FUZZ_CHECK(stored <= limit);
  for (std::size_t i = 0; i < stored; ++i)
    FUZZ_CHECK(destination.value[i] == static_cast<unsigned char>(source[i]));
  for (std::size_t i = 0; i + 1 < stored; ++i) FUZZ_CHECK(source[i] != '\0');
  FUZZ_CHECK(stored == limit || (stored > 0 && destination.value[stored - 1] == 0));
  FUZZ_CHECK(Untouched(destination.value + stored, std::end(destination.value)));
  return 0;
}
