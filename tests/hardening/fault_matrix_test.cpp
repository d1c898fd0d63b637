// Fault injection over the platform double: each operation the core calls
// fails, with every code in kCodes, at every call a run makes of it. Whatever
// fails, a run must release what it took, leave every run-long buffer's guard
// zones as they were and end with the status of the last thing it examined;
// the exact lines are the unit tests' and the end-to-end scripts'.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "query/list_mode.h"
#include "query/query_mode.h"

namespace corvane {
namespace {

using testing::FakePlatform;
using testing::Fault;
using testing::Operation;

// The codes the program knows (2 not on the list, 18 end of the list) and
// others: success, small, network range edges, past it, top bit set.
constexpr std::uint32_t kCodes[] = {0, 1, 2, 5, 18, 2100, 2999, 3000, 0x80000005u, 0xFFFFFFFFu};

// Operations that run only inside an error report.
constexpr Operation kReportOperations[] = {Operation::kBeep, Operation::kLoadLibrary,
                                           Operation::kFormatMessage, Operation::kLocalFree,
                                           Operation::kFreeLibrary};

struct Tally {
  int runs = 0;
  int faults = 0;
  int failures = 0;
} tally;

// The count line for the summary, printed once every test has run.
class Summary : public ::testing::Environment {
 public:
  void TearDown() override {
    std::printf("fault-injection: %d runs, %d faults injected, %d failures\n", tally.runs,
                tally.faults, tally.failures);
  }
};
::testing::Environment* const kSummary = ::testing::AddGlobalTestEnvironment(new Summary);

const std::map<std::uint32_t, std::string> kSystemMessages = {
    {1, "Incorrect function.\r\n"},
    {5, "Access is denied.\r\n"},
    {2100, "System text of 2100.\r\n"},
    {0xFFFFFFFFu, std::string(600, 'm')},  // longer than the message buffer
};
const std::map<std::uint32_t, std::string> kNetworkMessages = {
    {2100, "Net 2100.\r\n"},
    {2999, "Net 2999.\r\n"},
};

// One planned run: a fault, and maybe a second one inside the error report.
struct Plan {
  Fault fault;
  std::optional<Operation> report_fault;
};

FakePlatform Prepared(const Plan& plan) {
  FakePlatform platform;
  platform.system_messages = {kSystemMessages.begin(), kSystemMessages.end()};
  platform.network_messages = {kNetworkMessages.begin(), kNetworkMessages.end()};
  platform.faults = {plan.fault};
  if (plan.report_fault) platform.faults.push_back({*plan.report_fault, 0, plan.fault.code});
  return platform;
}

// Checks one run's invariants and counts it for the summary.
void Check(const Plan& plan, const FakePlatform& platform, std::uint32_t status,
           std::uint32_t want_status, bool buffers_intact, bool lines_fit = true) {
  ++tally.runs;
  tally.faults += platform.faults_fired;
  const bool ok = status == want_status && buffers_intact && lines_fit &&
                  platform.faults_fired >= 1 && platform.open_searches == 0 &&
                  platform.outstanding_messages == 0 && platform.loaded_modules == 0;
  if (ok) return;
  ++tally.failures;
  ADD_FAILURE() << "operation " << static_cast<int>(plan.fault.operation) << " call "
                << plan.fault.call << " code " << plan.fault.code << " (in the report: "
                << (plan.report_fault ? static_cast<int>(*plan.report_fault) : -1) << "): status "
                << status << "/" << want_status << ", intact " << buffers_intact << ", fit "
                << lines_fit << ", fired " << platform.faults_fired
                << ", searches/texts/modules left " << platform.open_searches << "/"
                << platform.outstanding_messages << "/" << platform.loaded_modules << "\noutput "
                << ::testing::PrintToString(platform.output);
}

// Faults at calls 0..calls-1 of `operation`, with every code. When
// `reports` is set, each code not in `quiet` gives an error report, and
// runs once more with each report operation failing inside it.
std::vector<Plan> Plans(Operation operation, int calls, bool reports = false,
                        std::initializer_list<std::uint32_t> quiet = {}) {
  std::vector<Plan> plans;
  for (int call = 0; call < calls; ++call) {
    for (std::uint32_t code : kCodes) {
      plans.push_back({{operation, call, code}, std::nullopt});
      if (reports && std::find(quiet.begin(), quiet.end(), code) == quiet.end())
        for (Operation inside : kReportOperations)
          plans.push_back({{operation, call, code}, inside});
    }
  }
  return plans;
}

// --- Query mode: C:\W holds a protected file, a file whose name has a
// character above U+00FF, a protected file whose path is 259 characters,
// the longest a path buffer resolves, and a file whose name fills cFileName
// without a terminator, too long to join. The second argument names
// the first file again; the third is too long for a path buffer.
const std::u16string kDirectory = u"C:\\W\\";
const std::vector<std::u16string> kNames = {u"a.exe", u"\u4e2d.dll",
                                            std::u16string(kMaxPath - 1 - kDirectory.size(), u'x'),
                                            std::u16string(kMaxPath, u'n')};
const std::string kTooLong(kMaxPath + 40, 'q');
const char* const kArguments[] = {"C:\\W\\*", "C:\\W\\a.exe", kTooLong.c_str()};

FakePlatform QuerySystem(const Plan& plan) {
  FakePlatform platform = Prepared(plan);
  platform.matches[u"C:\\W\\*"] = kNames;
  platform.matches[u"C:\\W\\a.exe"] = {kNames[0]};
  for (const std::u16string& name : {kNames[0], kNames[2]})
    platform.protected_paths[kDirectory + name] = true;
  return platform;
}

// The status is the last match's: a.exe again, from the second argument
// (protected: its path's length), unless asking about it is what fails, or
// the second search is, which leaves the name too long to join last (0).
std::uint32_t QueryStatus(const Fault& fault) {
  constexpr int kLastMatch = 3;  // its call number in resolving and asking
  const auto protected_length = static_cast<std::uint32_t>((kDirectory + kNames[0]).size());
  if (fault.operation == Operation::kFindFirstFile) return fault.call == 1 ? 0 : protected_length;
  if (fault.call != kLastMatch) return protected_length;
  switch (fault.operation) {
    case Operation::kGetFullPathName:
    case Operation::kGetLongPathName:
      return 0;  // its long path was not obtained
    case Operation::kSfcIsFileProtected:
      return fault.code;
    default:
      return protected_length;
  }
}

TEST(FaultInjection, QueryModeReleasesEverythingAndKeepsTheLastStatus) {
  const int matches = 4, searches = 2, next_calls = 5;
  std::vector<Plan> plans;
  for (const std::vector<Plan>& more :
       {Plans(Operation::kFindFirstFile, searches), Plans(Operation::kFindNextFile, next_calls),
        Plans(Operation::kFindClose, searches), Plans(Operation::kGetFullPathName, matches),
        Plans(Operation::kGetLongPathName, matches),
        Plans(Operation::kSfcIsFileProtected, matches, true, {kErrorFileNotFound})})
    plans.insert(plans.end(), more.begin(), more.end());

  for (const Plan& plan : plans) {
    FakePlatform platform = QuerySystem(plan);
    Console console(platform);
    ErrorReport errors(platform, console);
    QueryMode mode(platform, console, errors);
    const std::uint32_t status = mode.Run(static_cast<int>(std::size(kArguments)), kArguments);
    Check(plan, platform, status, QueryStatus(plan.fault),
          mode.BuffersIntact() && errors.BuffersIntact());
  }
}

// --- List mode: four entries, one of them filling the whole record
// without a terminator and one with a character above U+00FF.
const std::vector<std::u16string> kList = {
    u"C:\\W\\a.exe",
    u"C:\\" + std::u16string(kMaxPath, u'e'),
    u"C:\\W\\\u4e2d.sys",
    u"C:\\W\\z",
};

// Every entry line, each before the first empty one, ends inside its record
// however the service filled it.
bool EntriesFit(const std::string& output) {
  std::size_t start = 1;  // past the line break that opens the listing
  for (std::size_t end; (end = output.find('\n', start)) != std::string::npos && end > start;
       start = end + 1)
    if (end - start > kMaxPath - 1) return false;
  return true;
}

TEST(FaultInjection, ListModeReleasesEverythingAndEndsWithTheWalksCode) {
  // Calls 0..4: at the first entry, after k entries, and in place of the end.
  const int calls = static_cast<int>(kList.size()) + 1;
  for (const Plan& plan : Plans(Operation::kSfcGetNextProtectedFile, calls, true,
                                {kErrorSuccess, kErrorNoMoreFiles})) {
    FakePlatform platform = Prepared(plan);
    platform.protected_list = kList;
    Console console(platform);
    ErrorReport errors(platform, console);
    ListMode mode(platform, console, errors);
    const std::uint32_t status = mode.Run();
    Check(plan, platform, status, plan.fault.code, mode.BuffersIntact() && errors.BuffersIntact(),
          EntriesFit(platform.output));
  }
}

// Padding between a buffer and its guard would let a short overrun pass.
static_assert(offsetof(Guarded<char16_t[kPathBufferSize]>, after) ==
              kGuardSize + sizeof(char16_t[kPathBufferSize]));
static_assert(offsetof(Guarded<ProtectedFileData>, after) ==
              kGuardSize + sizeof(ProtectedFileData));
static_assert(offsetof(Guarded<FindData>, after) == kGuardSize + sizeof(FindData));

}  // namespace
}  // namespace corvane
