#include "query/query_mode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "fake_platform.h"

namespace corvane {
namespace {

using testing::FakePlatform;
using testing::Outcome;

struct QueryResult {
  std::string output;
  std::uint32_t status;
};

QueryResult Query(FakePlatform& platform, std::vector<const char*> names) {
  Console console(platform);
  ErrorReport errors(platform, console);
  QueryMode mode(platform, console, errors);
  const std::uint32_t status = mode.Run(static_cast<int>(names.size()), names.data());
  EXPECT_EQ(platform.open_searches, 0) << "a search was left open";
  EXPECT_EQ(platform.outstanding_messages, 0) << "a message text was not freed";
  return {platform.output, status};
}

// A Windows-like system: C:\W holds a.exe (protected), b.dll (not) and the
// directory entries; the current directory is C:\cwd.
void WindowsLike(FakePlatform& p) {
  p.matches[u"C:\\W\\*"] = {u".", u"..", u"a.exe", u"b.dll"};
  p.matches[u"C:\\W\\a.exe"] = {u"a.exe"};
  p.matches[u"C:\\W\\b.dll"] = {u"b.dll"};
  p.matches[u"C:\\W\\A~1.EXE"] = {u"a.exe"};
  p.matches[u"C:/W/a.exe"] = {u"a.exe"};
  p.full_paths[u"C:\\W\\."] = u"C:\\W";
  p.full_paths[u"C:\\W\\.."] = u"C:\\";
  p.full_paths[u"a.exe"] = u"C:\\cwd\\a.exe";
  p.long_paths[u"C:\\cwd\\a.exe"] = {0, kErrorFileNotFound};
  p.protected_paths[u"C:\\W\\a.exe"] = true;
  p.system_messages[5] = "Access is denied.\r\n";
}

TEST(QueryModeTest, ResultLinesAndRunStatus) {
  struct Case {
    const char* name;
    std::vector<const char*> args;
    std::function<void(FakePlatform&)> setup;
    std::string output;
    std::uint32_t status;
  };
  const auto none = [](FakePlatform&) {};
  const std::vector<Case> cases = {
      {"protected: the long path's length",
       {"C:\\W\\a.exe"},
       none,
       "\nProtectedFile: C:\\W\\a.exe\n",
       10},
      {"not protected", {"C:\\W\\b.dll"}, none, "\n*NotProtected: C:\\W\\b.dll\n", 2},
      {"long path not obtained",
       {"C:\\W\\a.exe"},
       [](FakePlatform& p) {
         p.long_paths[u"C:\\W\\a.exe"] = {0, kErrorFileNotFound};
       },
       "\n*FileNotFound: C:\\W\\a.exe\n",
       0},
      {"query failed: the code",
       {"C:\\W\\a.exe"},
       [](FakePlatform& p) {
         p.next_protection = {{0, 5}};
       },
       "\n\nSystem error 5 has occurred.\n\nAccess is denied.\r\n\n",
       5},
      {"query failed with a 32-bit code",
       {"C:\\W\\b.dll"},
       [](FakePlatform& p) { p.query_errors[u"C:\\W\\b.dll"] = 0x80000005u; },
       "\n\nSystem error -2147483643 has occurred.\n\n\n",
       0x80000005u},
      {"nothing matched in the whole run",
       {"C:\\W\\none", "x"},
       none,
       "\n*FileNotFound: C:\\W\\none\n*FileNotFound: x\n",
       13},
      {"empty argument", {""}, none, "\n*FileNotFound: \n", 13},
      {"no match after a match keeps the status",
       {"C:\\W\\b.dll", "C:\\W\\none"},
       none,
       "\n*NotProtected: C:\\W\\b.dll\n*FileNotFound: C:\\W\\none\n",
       2},
      {"every match in order; the last one's status",
       {"C:\\W\\*"},
       none,
       "\n*NotProtected: C:\\W\n*NotProtected: C:\\\nProtectedFile: C:\\W\\a.exe"
       "\n*NotProtected: C:\\W\\b.dll\n",
       2},
      {"short name answered in long form",
       {"C:\\W\\A~1.EXE"},
       none,
       "\nProtectedFile: C:\\W\\a.exe\n",
       10},
      {"forward slashes: no prefix, resolved against the current directory",
       {"C:/W/a.exe"},
       none,
       "\n*FileNotFound: C:\\cwd\\a.exe\n",
       0},
      {"a long form too long for the buffer still counts",
       {"C:\\W\\a.exe"},
       [](FakePlatform& p) {
         p.long_paths[u"C:\\W\\a.exe"] = {300, std::nullopt};
       },
       "\nProtectedFile: C:\\W\\a.exe\n",
       300},
      {"a failure does not end the walk",
       {"C:\\W\\*"},
       [](FakePlatform& p) {
         p.next_protection = {{0, 2}, {0, 5}};
       },
       "\n*NotProtected: C:\\W\n\nSystem error 5 has occurred.\n\nAccess is denied.\r\n"
       "\nProtectedFile: C:\\W\\a.exe\n*NotProtected: C:\\W\\b.dll\n",
       2},
      {"posix separator cuts the prefix at '/'",
       {"/usr/bin/l?"},
       [](FakePlatform& p) {
         p.separator = u'/';
         p.matches[u"/usr/bin/l?"] = {u"ls"};
         p.protected_paths[u"/usr/bin/ls"] = true;
       },
       "\nProtectedFile: /usr/bin/ls\n",
       11},
  };
  for (const Case& c : cases) {
    FakePlatform platform;
    WindowsLike(platform);
    c.setup(platform);
    const QueryResult run = Query(platform, c.args);
    EXPECT_EQ(run.output, c.output) << c.name;
    EXPECT_EQ(run.status, c.status) << c.name;
  }
}

TEST(QueryModeTest, CallsForOneMatchInOrder) {
  FakePlatform platform;
  WindowsLike(platform);
  Query(platform, {"C:\\W\\a.exe"});
  EXPECT_EQ(platform.calls, (std::vector<std::string>{
                                "FindFirstFileW C:\\W\\a.exe",
                                "GetFullPathNameW C:\\W\\a.exe",
                                "GetLongPathNameW C:\\W\\a.exe",
                                "SfcIsFileProtected C:\\W\\a.exe",
                                "FindNextFileW",
                                "FindClose",
                            }));
}

TEST(QueryModeTest, PathsThatDoNotFitAreNeverUsedCut) {
  const std::string fits(kMaxPath, 'f');
  const std::string too_long(kMaxPath + 1, 'f');
  const std::string huge(100000, 'h');
  const std::u16string dir = u"C:\\" + std::u16string(200, u'd') + u"\\";
  const std::u16string name(100, u'n');

  FakePlatform platform;
  platform.matches[std::u16string(fits.begin(), fits.end())] = {u"f"};
  platform.matches[dir + u"*"] = {name};
  const std::string pattern(dir.begin(), dir.end());
  const std::string all = pattern + "*";
  const QueryResult run =
      Query(platform, {too_long.c_str(), huge.c_str(), fits.c_str(), all.c_str()});

  const std::u16string joined_cut = (dir + name).substr(0, kMaxPath);
  EXPECT_EQ(run.output,
            "\n*FileNotFound: " + fits + "\n*FileNotFound: " + std::string(kMaxPath, 'h') +
                "\n*NotProtected: f\n*FileNotFound: " + testing::Narrow(joined_cut) + "\n");
  // A joined path that does not fit counts as a long path not obtained.
  EXPECT_EQ(run.status, 0u);
  for (const std::string& call : platform.calls) {
    EXPECT_EQ(call.find("GetFullPathNameW " + pattern), std::string::npos) << call;
  }
  EXPECT_EQ(std::count_if(platform.calls.begin(), platform.calls.end(),
                          [](const std::string& c) { return c.rfind("FindFirstFileW", 0) == 0; }),
            2);
}

TEST(QueryModeTest, FullPathNotFormedIsReportedEmpty) {
  FakePlatform platform;
  platform.matches[u"x"] = {u"x"};
  platform.full_paths[u"x"] = std::u16string(kMaxPath, u'p');  // needs 261 with its terminator
  const QueryResult run = Query(platform, {"x"});
  EXPECT_EQ(run.output, "\n*FileNotFound: \n");
  EXPECT_EQ(run.status, 0u);
}

}  // namespace
}  // namespace corvane
