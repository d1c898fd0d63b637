// Fault injection over the platform double: each operation the core calls
// fails, with every code in kCodes, at every call a run makes of it. Each
// run must print exactly what the rules give for that failure, end with the
// status they give, release what it took and leave every run-long buffer's
// guard zones as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <initializer_list>
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

// What the console shows of `text`: its bytes up to the first character
// that cannot be narrowed.
std::string Shown(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    if (c > 0xFF) break;
    bytes += static_cast<char>(c);
  }
  return bytes;
}

// The error report for `code` when `failing` (if any) fails inside it.
std::string Report(std::uint32_t code, std::optional<Operation> failing) {
  std::string text;
  if (failing != Operation::kFormatMessage) {
    const bool module = code >= 2100 && code <= 2999 && failing != Operation::kLoadLibrary;
    if (module && kNetworkMessages.count(code) != 0)
      text = kNetworkMessages.at(code);
    else if (kSystemMessages.count(code) != 0)
      text = kSystemMessages.at(code);
  }
  return "\n\nSystem error " + std::to_string(static_cast<std::int32_t>(code)) +
         " has occurred.\n\n" + text.substr(0, kMessageBufferSize - 1);
}

struct Expected {
  std::string output;
  std::uint32_t status;
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

// Checks one run against its expectation and counts it for the summary.
void Check(const Plan& plan, FakePlatform& platform, const Expected& got, bool buffers_intact,
           const Expected& want) {
  ++tally.runs;
  tally.faults += platform.faults_fired;
  const bool ok = got.output == want.output && got.status == want.status && buffers_intact &&
                  platform.faults_fired >= 1 && platform.open_searches == 0 &&
                  platform.outstanding_messages == 0 && platform.loaded_modules == 0;
  if (ok) return;
  ++tally.failures;
  ADD_FAILURE() << "operation " << static_cast<int>(plan.fault.operation) << ", call "
                << plan.fault.call << ", code " << plan.fault.code << ", failing in the report "
                << (plan.report_fault ? static_cast<int>(*plan.report_fault) : -1) << ": status "
                << got.status << " (wanted " << want.status << "), buffers intact "
                << buffers_intact << ", faults fired " << platform.faults_fired
                << ", open searches " << platform.open_searches << ", messages "
                << platform.outstanding_messages << ", modules " << platform.loaded_modules
                << "\noutput " << ::testing::PrintToString(got.output) << "\nwanted "
                << ::testing::PrintToString(want.output);
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
struct Entry {
  std::u16string name;
  bool is_protected;
};
const std::u16string kDirectory = u"C:\\W\\";
const std::vector<Entry> kEntries = {
    {u"a.exe", true},
    {u"\u4e2d.dll", false},
    {std::u16string(kMaxPath - 1 - kDirectory.size(), u'x'), true},
    {std::u16string(kMaxPath, u'n'), false},
};
struct Argument {
  const char* text;
  std::vector<Entry> matches;
};
const std::string kTooLong(kMaxPath + 40, 'q');
const std::vector<Argument> kArguments = {
    {"C:\\W\\*", kEntries},
    {"C:\\W\\a.exe", {kEntries[0]}},
    {kTooLong.c_str(), {}},
};

FakePlatform QuerySystem(const Plan& plan) {
  FakePlatform platform = Prepared(plan);
  for (const Argument& argument : kArguments) {
    std::vector<std::u16string>& names =
        platform.matches[std::u16string(argument.text, argument.text + std::strlen(argument.text))];
    for (const Entry& entry : argument.matches) names.push_back(entry.name);
  }
  for (const Entry& entry : kEntries)
    if (entry.is_protected) platform.protected_paths[kDirectory + entry.name] = true;
  return platform;
}

// What the rules give for one match: its line and the run status after it.
// `hit` is set when the match is the one whose call of the faulted
// operation fails.
Expected ExpectMatch(const Plan& plan, const Entry& entry, bool hit) {
  const std::u16string path = kDirectory + entry.name;
  const std::uint32_t code = plan.fault.code;
  // A joined path that does not fit is never resolved.
  if (path.size() > kMaxPath) return {"\n*FileNotFound: " + Shown(path.substr(0, kMaxPath)), 0};
  switch (hit ? plan.fault.operation : Operation::kCount) {
    case Operation::kGetFullPathName:  // the emptied buffer goes on to be resolved
      return {"\n*FileNotFound: ", 0};
    case Operation::kGetLongPathName:
      return {"\n*FileNotFound: " + Shown(path), 0};
    case Operation::kSfcIsFileProtected:
      if (code == kErrorFileNotFound) return {"\n*NotProtected: " + Shown(path), code};
      return {Report(code, plan.report_fault), code};
    default:
      if (entry.is_protected)
        return {"\nProtectedFile: " + Shown(path), static_cast<std::uint32_t>(path.size())};
      return {"\n*NotProtected: " + Shown(path), kErrorFileNotFound};
  }
}

// What the rules give for the whole run.
Expected ExpectQuery(const Plan& plan) {
  const Fault& fault = plan.fault;
  const auto fails = [&](Operation operation, int& calls) {
    return fault.operation == operation && fault.call == calls++;
  };
  int first_calls = 0, next_calls = 0, resolved = 0;
  Expected want{"", kNoMatchExamined};
  for (const Argument& argument : kArguments) {
    if (std::strlen(argument.text) > kMaxPath) {  // never searched
      want.output += "\n*FileNotFound: " + std::string(argument.text, kMaxPath);
      continue;
    }
    if (fails(Operation::kFindFirstFile, first_calls)) {
      want.output += std::string("\n*FileNotFound: ") + argument.text;
      continue;
    }
    for (const Entry& entry : argument.matches) {
      const bool resolvable = (kDirectory + entry.name).size() <= kMaxPath;
      const Expected match = ExpectMatch(plan, entry, resolvable && fault.call == resolved);
      resolved += resolvable ? 1 : 0;
      want = {want.output + match.output, match.status};
      if (fails(Operation::kFindNextFile, next_calls)) break;
    }
  }
  want.output += "\n";
  return want;
}

TEST(FaultInjection, QueryModeAnswersEachFailureByTheRules) {
  const int matches = 4, searches = 2, next_calls = 5;
  std::vector<Plan> plans;
  for (const std::vector<Plan>& more :
       {Plans(Operation::kFindFirstFile, searches), Plans(Operation::kFindNextFile, next_calls),
        Plans(Operation::kFindClose, searches), Plans(Operation::kGetFullPathName, matches),
        Plans(Operation::kGetLongPathName, matches),
        Plans(Operation::kSfcIsFileProtected, matches, true, {kErrorFileNotFound})})
    plans.insert(plans.end(), more.begin(), more.end());

  std::vector<const char*> names;
  for (const Argument& argument : kArguments) names.push_back(argument.text);
  for (const Plan& plan : plans) {
    FakePlatform platform = QuerySystem(plan);
    Console console(platform);
    ErrorReport errors(platform, console);
    QueryMode mode(platform, console, errors);
    const std::uint32_t status = mode.Run(static_cast<int>(names.size()), names.data());
    Check(plan, platform, {platform.output, status}, mode.BuffersIntact() && errors.BuffersIntact(),
          ExpectQuery(plan));
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

Expected ExpectList(const Plan& plan) {
  Expected want{"", plan.fault.code};
  for (int i = 0; i < plan.fault.call; ++i)
    want.output += "\n" + Shown(kList[i].substr(0, kMaxPath - 1));
  if (plan.fault.code == kErrorSuccess || plan.fault.code == kErrorNoMoreFiles)
    want.output += "\n\n" + std::to_string(plan.fault.call) + " files displayed.\n";
  else
    want.output += Report(plan.fault.code, plan.report_fault);
  return want;
}

TEST(FaultInjection, ListModeAnswersEachFailureByTheRules) {
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
    Check(plan, platform, {platform.output, status}, mode.BuffersIntact() && errors.BuffersIntact(),
          ExpectList(plan));
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
