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

// Answers for failures at every call are the fault matrix's (tests/hardening);
// these are the cases it does not reach.
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
  return {platform.output, status};
}

// C:\W\a.exe is protected; the current directory is C:\cwd, which has no a.exe.
void WindowsLike(FakePlatform& p) {
  p.matches[u"C:\\W\\a.exe"] = {u"a.exe"};
  p.matches[u"C:/W/a.exe"] = {u"a.exe"};
  p.full_paths[u"a.exe"] = u"C:\\cwd\\a.exe";
  p.long_paths[u"C:\\cwd\\a.exe"] = {0, kErrorFileNotFound};
  p.protected_paths[u"C:\\W\\a.exe"] = true;
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
      {"nothing matched in the whole run",
       {"C:\\W\\none", "x"},
       none,
       "\n*FileNotFound: C:\\W\\none\n*FileNotFound: x\n",
       13},
      {"forward slashes: no prefix, resolved against the current directory",
       {"C:/W/a.exe"},
       none,
       "\n*FileNotFound: C:\\cwd\\a.exe\n",
       0},
      {"a long form too long for the buffer still counts",
       {"C:\\W\\a.exe"},
       [](FakePlatform& p) { p.long_paths[u"C:\\W\\a.exe"] = {300, std::nullopt}; },
       "\nProtectedFile: C:\\W\\a.exe\n",
       300},
      {"a full path too long for the buffer is left empty",
       {"x"},
       [](FakePlatform& p) {
         p.matches[u"x"] = {u"x"};
         p.full_paths[u"x"] = std::u16string(kMaxPath, u'p');  // 261 with its terminator
       },
       "\n*FileNotFound: \n",
       0},
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
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    WindowsLike(platform);
    c.setup(platform);
    const QueryResult run = Query(platform, c.args);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.status, c.status);
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

}  // namespace
}  // namespace corvane
