// The argument scan over any argument vector, with both separators. Beyond
// never reading past an argument's end: a help request added anywhere
// always wins, and a list switch added gives list mode unless help won.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "check.h"
#include "cli/front_end.h"

using corvane::Mode;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const char16_t separator = input.ConsumeBool() ? u'/' : u'\\';
  std::vector<std::string> arguments;
  while (input.remaining_bytes() > 0 && arguments.size() < 16)
    arguments.push_back(input.ConsumeRandomLengthString(512));

  // Each argument in a buffer of its own size, so that reading past one shows.
  std::vector<std::vector<char>> storage;
  std::vector<const char*> argv;
  const auto scan = [&](const std::vector<std::string>& args) {
    storage.assign(args.size(), {});
    argv.clear();
    for (std::size_t i = 0; i < args.size(); ++i) {
      storage[i].assign(args[i].c_str(), args[i].c_str() + args[i].size() + 1);
      argv.push_back(storage[i].data());
    }
    argv.push_back(nullptr);
    return corvane::ScanArguments(static_cast<int>(args.size()), argv.data(), separator);
  };

  const Mode mode = scan(arguments);
  FUZZ_CHECK(mode == Mode::kUsage || mode == Mode::kList || mode == Mode::kQuery);
  if (arguments.empty()) return 0;  // no element 0: nothing to add to
  const std::size_t at = 1 + (arguments.size() > 1 ? size % arguments.size() : 0);

  std::vector<std::string> with_help = arguments;
  with_help.insert(with_help.begin() + static_cast<long>(at), "-?");
  FUZZ_CHECK(scan(with_help) == Mode::kUsage);

  std::vector<std::string> with_list = arguments;
  with_list.insert(with_list.begin() + static_cast<long>(at), "/l");
  const bool help = mode == Mode::kUsage && arguments.size() > 1;  // not just "no arguments"
  FUZZ_CHECK(scan(with_list) == (help ? Mode::kUsage : Mode::kList));
  return 0;
}
