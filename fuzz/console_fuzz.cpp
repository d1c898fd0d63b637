// The console writer with any format and any arguments: it never reads
// past a format or an argument, hands each message over in pieces no
// larger than its chunk, and says how many bytes it wrote.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "check.h"
#include "fake_platform.h"
#include "report/console.h"

namespace {

// Wide text of any code units, directives made likely, ending in a zero.
std::u16string Text(FuzzedDataProvider& input, std::size_t max_length) {
  std::u16string text;
  const std::size_t length = input.ConsumeIntegralInRange<std::size_t>(0, max_length);
  for (std::size_t i = 0; i < length && input.remaining_bytes() > 0; ++i) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0:
        text += input.ConsumeBool() ? u"%s" : u"%d";
        break;
      case 1:
        text += static_cast<char16_t>(input.ConsumeIntegralInRange(1, 0xFF));
        break;
      default:
        text += static_cast<char16_t>(input.ConsumeIntegralInRange(1, 0xFFFF));
        break;
    }
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::u16string format = Text(input, 3000);
  std::vector<std::u16string> texts;
  std::vector<corvane::FormatArg> args;
  const int count = input.ConsumeIntegralInRange(0, 4);
  texts.reserve(count);
  for (int i = 0; i < count; ++i) {
    if (input.ConsumeBool()) {
      args.emplace_back(input.ConsumeIntegral<std::int32_t>());
    } else {
      texts.push_back(Text(input, 2000));
      args.emplace_back(texts.back().c_str());
    }
  }

  corvane::testing::FakePlatform platform;
  corvane::Console console(platform);
  const int written = console.Write(format.c_str(), args.data(), args.size());
  FUZZ_CHECK(written >= 0 && static_cast<std::size_t>(written) == platform.output.size());
  for (std::size_t piece : platform.write_sizes) FUZZ_CHECK(piece > 0 && piece <= 1024);
  // Without directives or characters above U+00FF the format is its output.
  bool plain = true;
  for (char16_t c : format) plain = plain && c != u'%' && c <= 0xFF;
  if (plain) FUZZ_CHECK(platform.output == corvane::testing::Narrow(format));
  return 0;
}
