// The program as a whole over the platform double: random arguments,
// random platform answers and random failures with any code. Whatever
// happens, the run ends, writes past no buffer, closes every search, frees
// every message and module, and ends its output as its mode's rules say.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "check.h"
#include "cli/front_end.h"
#include "fake_platform.h"
#include "query/list_mode.h"
#include "query/query_mode.h"

namespace {

using corvane::testing::FakePlatform;
using corvane::testing::Operation;

// Codes the program knows and others, or any code at all.
std::uint32_t Code(FuzzedDataProvider& input) {
  static const std::uint32_t kCodes[] = {0,    1,    2,    5,           18,
                                         2100, 2999, 3000, 0x80000005u, 0xFFFFFFFFu};
  if (input.ConsumeBool()) return kCodes[input.ConsumeIntegralInRange<std::size_t>(0, 9)];
  return input.ConsumeIntegral<std::uint32_t>();
}

// Wide text: mostly bytes, sometimes a character above U+00FF, sometimes
// longer than any path buffer.
std::u16string Text(FuzzedDataProvider& input) {
  std::u16string text;
  const std::size_t length = input.ConsumeBool() ? input.ConsumeIntegralInRange(0, 12)
                                                 : input.ConsumeIntegralInRange(250, 300);
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t byte = input.ConsumeIntegral<std::uint8_t>();
    text += byte == 0xFE ? u'\u4e2d' : byte == 0 ? u'x' : static_cast<char16_t>(byte);
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FakePlatform platform;
  platform.separator = input.ConsumeBool() ? u'/' : u'\\';
  platform.network_module_loads = input.ConsumeBool();

  // Arguments, each maybe a pattern with matches; then the system's answers.
  std::vector<std::string> arguments = {input.ConsumeBool() ? "corvane" : Bytes(Text(input))};
  const int count = input.ConsumeIntegralInRange(0, 5);
  for (int i = 0; i < count; ++i) {
    const std::u16string argument = Text(input);
    arguments.push_back(Bytes(argument));
    std::vector<std::u16string>& names = platform.matches[argument];
    const int matches = input.ConsumeIntegralInRange(0, 4);
    const std::u16string prefix = argument.substr(0, argument.find_last_of(platform.separator) + 1);
    for (int m = 0; m < matches; ++m) {
      names.push_back(Text(input));
      const std::u16string path = prefix + names.back();
      switch (input.ConsumeIntegralInRange(0, 4)) {
        case 0:
          platform.protected_paths[path] = true;
          break;
        case 1:
          platform.query_errors[path] = Code(input);
          break;
        case 2:
          platform.long_paths[path] = {input.ConsumeIntegral<std::uint32_t>(), Code(input)};
          break;
        case 3:
          platform.full_paths[path] = Text(input);
          break;
        default:
          break;
      }
    }
  }
  for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i)
    platform.protected_list.push_back(Text(input));
  platform.list_end_error = Code(input);
  for (int i = input.ConsumeIntegralInRange(0, 3); i > 0; --i)
    platform.faults.push_back({static_cast<Operation>(input.ConsumeIntegralInRange(
                                   0, static_cast<int>(Operation::kCount) - 1)),
                               input.ConsumeIntegralInRange(0, 6), Code(input)});
  for (int i = input.ConsumeIntegralInRange(0, 3); i > 0; --i) {
    const std::uint32_t code = Code(input);
    (input.ConsumeBool() ? platform.system_messages : platform.network_messages)[code] =
        input.ConsumeRandomLengthString(700);
  }

  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(arguments.size());

  corvane::Console console(platform);
  corvane::ErrorReport errors(platform, console);
  const corvane::Mode mode = corvane::ScanArguments(argc, argv.data(), platform.separator);
  if (mode == corvane::Mode::kQuery) {
    corvane::QueryMode query(platform, console, errors);
    query.Run(argc - 1, argv.data() + 1);
    FUZZ_CHECK(query.BuffersIntact());
    FUZZ_CHECK(!platform.output.empty() && platform.output.back() == '\n');
  } else if (mode == corvane::Mode::kList) {
    corvane::ListMode list(platform, console, errors);
    const std::uint32_t status = list.Run();
    FUZZ_CHECK(list.BuffersIntact());
    // The walk delivers the list up to its end or the first call that fails.
    std::size_t entries = platform.protected_list.size();
    for (const corvane::testing::Fault& fault : platform.faults)
      if (fault.operation == Operation::kSfcGetNextProtectedFile)
        entries = std::min(entries, static_cast<std::size_t>(fault.call));
    const std::string count_line = "\n\n" + std::to_string(entries) + " files displayed.\n";
    const bool counted = platform.output.size() >= count_line.size() &&
                         platform.output.compare(platform.output.size() - count_line.size(),
                                                 count_line.size(), count_line) == 0;
    FUZZ_CHECK(counted == (status == 0 || status == 18));
    FUZZ_CHECK(platform.beeps == (status == 0 || status == 18 ? 0 : 1));
  } else {
    // The usage screen's buffer is a local one: the sanitizers watch it.
    FUZZ_CHECK(corvane::RunCommand(platform, argc, argv.data()) == 1);
  }
  FUZZ_CHECK(errors.BuffersIntact());
  FUZZ_CHECK(platform.open_searches == 0);
  FUZZ_CHECK(platform.outstanding_messages == 0);
  FUZZ_CHECK(platform.loaded_modules == 0);
  return 0;
}
