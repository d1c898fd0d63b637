// The wildcard matcher against a plain table-filling matcher: the two must
// agree on every pattern and name, and the matcher must stay fast (a slow
// input is reported by libFuzzer's timeout).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/wildcard.h"

namespace {

// A failed check aborts, which libFuzzer reports as a crash with its input.
void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "check failed: %s\n", what);
  std::abort();
}

// matches[i][j]: the first i pattern bytes match the first j name bytes.
bool Reference(std::string_view pattern, std::string_view name) {
  std::vector<std::vector<char>> matches(pattern.size() + 1, std::vector<char>(name.size() + 1, 0));
  matches[0][0] = 1;
  for (std::size_t i = 1; i <= pattern.size(); ++i) {
    const char p = pattern[i - 1];
    for (std::size_t j = 0; j <= name.size(); ++j) {
      if (p == '*')
        matches[i][j] = matches[i - 1][j] || (j > 0 && matches[i][j - 1]);
      else if (j > 0 && (p == '?' || p == name[j - 1]))
        matches[i][j] = matches[i - 1][j - 1];
    }
  }
  return matches[pattern.size()][name.size()] != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string pattern = input.ConsumeRandomLengthString(300);
  const std::string name = input.ConsumeRemainingBytesAsString();
  if (name.size() > 300) return 0;
  Check(corvane::posix::MatchWildcard(pattern, name) == Reference(pattern, name),
        "as the reference");
  // '*' and '?' match themselves too, so any text matches itself.
  Check(corvane::posix::MatchWildcard(name, name), "a text matches itself");
  return 0;
}
