// Each operation the core calls fails with every code in kCodes at every call,
// alone and with an error report's operations failing too: a run must release
// what it took and end with its last status (the sanitizer catches overruns).
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "query/list_mode.h"
#include "query/query_mode.h"

namespace corvane {
namespace {

using testing::Fault;
using testing::Operation;

// Success, codes the program knows, the network range's edges, and the top bit.
constexpr std::uint32_t kCodes[] = {0, 1, 2, 5, 18, 2100, 2999, 3000, 0x80000005u, 0xFFFFFFFFu};
int runs = 0, injected = 0, failures = 0;

// Query mode: C:\W holds a protected file, a name above U+00FF, a protected path
// of kMaxPath - 1 characters, and a name filling cFileName unterminated, too long
// to join. The second argument names the first file again; the third does not fit.
const std::u16string kDirectory = u"C:\\W\\";
const std::vector<std::u16string> kNames = {u"a.exe", u"\u4e2d.dll",
                                            std::u16string(kMaxPath - 1 - kDirectory.size(), u'x'),
                                            std::u16string(kMaxPath, u'n')};
const std::u16string kTooLong(kMaxPath + 40, u'q');
const char16_t* const kArguments[] = {u"C:\\W\\*", u"C:\\W\\a.exe", kTooLong.c_str()};
// List mode: an entry filling the record unterminated (kMaxPath - 4 e's fit), one above U+00FF.
const std::vector<std::u16string> kList = {
    u"C:\\W\\a.exe", u"C:\\" + std::u16string(kMaxPath, u'e'), u"C:\\W\\\u4e2d.sys", u"C:\\W\\z"};

void Check(bool list, const Fault& fault, std::optional<Operation> in_report, std::uint32_t want) {
  testing::FakePlatform platform;
  // Texts for some codes, one longer than the buffer, and some in the module.
  platform.system_messages = {
      {1, "One.\r\n"}, {2100, "Sys 2100.\r\n"}, {~0u, std::string(600, 'm')}};
  platform.network_messages = {{2100, "Net 2100.\r\n"}, {2999, "Net 2999.\r\n"}};
  platform.faults = {fault};
  if (in_report) platform.faults.push_back({*in_report, 0, fault.code});
  platform.protected_list = kList;
  platform.matches = {{u"C:\\W\\*", kNames}, {u"C:\\W\\a.exe", {kNames[0]}}};
  platform.answers = {{kDirectory + kNames[0], 0}, {kDirectory + kNames[2], 0}};
  Console console(platform);
  ErrorReport errors(platform, console);
  QueryMode query(platform, console, errors);
  ListMode listing(platform, console, errors);
  const std::uint32_t status =
      list ? listing.Run() : query.Run(static_cast<int>(std::size(kArguments)), kArguments);
  ++runs;
  injected += platform.faults_fired;
  if (status == want && platform.output.find(std::string(kMaxPath - 3, 'e')) == std::string::npos &&
      platform.faults_fired >= 1 && platform.open_searches == 0 &&
      platform.outstanding_messages == 0 && platform.loaded_modules == 0)
    return;
  ++failures;
  ADD_FAILURE() << "operation " << int(fault.operation) << " call " << fault.call << " code "
                << fault.code << " in the report " << (in_report ? int(*in_report) : -1)
                << ": status " << status << ", wanted " << want;
}

// Faults at calls 0..calls-1 of `operation`; `status` gives a run's status.
template <class Status>
void CheckAll(bool list, Operation operation, int calls, Status status) {
  for (int call = 0; call < calls; ++call) {
    for (std::uint32_t code : kCodes) {
      const Fault fault = {operation, call, code};
      Check(list, fault, std::nullopt, status(fault));
      for (Operation inside :
           {Operation::kBeep, Operation::kLoadLibrary, Operation::kFormatMessage,
            Operation::kMultiByteToWideChar, Operation::kLocalFree, Operation::kFreeLibrary})
        Check(list, fault, inside, status(fault));
    }
  }
}

// Prints the count line that tools/harden shows.
TEST(FaultInjection, ARunReleasesEverythingAndEndsWithTheLastStatus) {
  // Query mode's last match is a.exe again, from the second argument:
  // protected, its path's length, unless examining it is what fails, or the
  // second search is, which leaves the name too long to join last (0).
  const auto query_status = [](const Fault& fault) -> std::uint32_t {
    constexpr int kLastMatch = 3;  // its call number in resolving and asking
    const auto protected_length = std::uint32_t((kDirectory + kNames[0]).size());
    if (fault.operation == Operation::kFindFirstFile) return fault.call == 1 ? 0 : protected_length;
    if (fault.call != kLastMatch) return protected_length;
    if (fault.operation == Operation::kSfcIsFileProtected) return fault.code;
    const bool resolving = fault.operation == Operation::kGetFullPathName ||
                           fault.operation == Operation::kGetLongPathName;
    return resolving ? 0 : protected_length;  // 0: its long path was not obtained
  };
  // Four matches in two searches, five calls for the next match.
  CheckAll(false, Operation::kFindFirstFile, 2, query_status);
  CheckAll(false, Operation::kFindNextFile, 5, query_status);
  CheckAll(false, Operation::kFindClose, 2, query_status);
  CheckAll(false, Operation::kGetFullPathName, 4, query_status);
  CheckAll(false, Operation::kGetLongPathName, 4, query_status);
  CheckAll(false, Operation::kSfcIsFileProtected, 4, query_status);
  // Output that cannot be narrowed is dropped; it never changes a status.
  CheckAll(false, Operation::kWideCharToMultiByte, 12, query_status);
  CheckAll(true, Operation::kWideCharToMultiByte, 10,
           [](const Fault&) { return kErrorNoMoreFiles; });
  // List mode: at the first entry, after each of them, and in place of the end.
  CheckAll(true, Operation::kSfcGetNextProtectedFile, int(kList.size()) + 1,
           [](const Fault& fault) { return fault.code; });
  std::printf("fault-injection: %d runs, %d faults injected, %d failures\n", runs, injected,
              failures);
}

}  // namespace
}  // namespace corvane
