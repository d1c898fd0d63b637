#include "query/query_mode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"

namespace corvane {
namespace {

using testing::FakePlatform;

// Failures at every call of every operation are the fault matrix's
// (tests/hardening), which checks what a run releases and its status; these
// are the lines.

// Paths too long for a path buffer, and a directory whose entry joined to it is.
const std::string kFits(kMaxPath, 'f'), kTooLong(kMaxPath + 1, 'f'), kHuge(100000, 'h');
const std::u16string kDeep = u"C:\\" + std::u16string(200, u'd') + u"\\";
const std::u16string kDeepName(100, u'n');

// One system for every case. C:\W\a.exe is protected; the current directory
// is C:\cwd, which has no a.exe.
void System(FakePlatform& p) {
  p.matches[u"C:\\W\\a.exe"] = {u"a.exe"};
  p.matches[u"C:/W/a.exe"] = {u"a.exe"};
  p.full_paths[u"a.exe"] = u"C:\\cwd\\a.exe";
  p.long_paths[u"C:\\cwd\\a.exe"] = {0, kErrorFileNotFound};
  p.protected_paths[u"C:\\W\\a.exe"] = true;
  p.matches[u"C:\\W\\long.exe"] = {u"long.exe"};
  p.long_paths[u"C:\\W\\long.exe"] = {300, std::nullopt};
  p.protected_paths[u"C:\\W\\long.exe"] = true;
  p.matches[u"C:\\W\\denied.exe"] = {u"denied.exe"};
  p.query_errors[u"C:\\W\\denied.exe"] = kErrorAccessDenied;
  p.system_messages[kErrorAccessDenied] = "Access is denied.\r\n";
  p.matches[u"x"] = {u"x"};
  p.full_paths[u"x"] = std::u16string(kMaxPath, u'p');  // 261 with its terminator
  p.matches[u"/usr/bin/l?"] = {u"ls"};
  p.protected_paths[u"/usr/bin/ls"] = true;
  // Were a cut text used, it would match.
  p.matches[std::u16string(kFits.begin(), kFits.end())] = {u"f"};
  p.matches[std::u16string(kMaxPath, u'h')] = {u"h"};
  p.matches[kDeep + u"*"] = {kDeepName};
}

TEST(QueryModeTest, ResultLinesAndRunStatus) {
  struct Case {
    std::vector<const char*> args;
    std::string output;
    std::uint32_t status;
    char16_t separator = u'\\';
  };
  const std::string deep = testing::Narrow(kDeep) + "*";
  const std::string deep_cut = testing::Narrow((kDeep + kDeepName).substr(0, kMaxPath));
  const Case cases[] = {
      {{"C:\\W\\none", "none"}, "\n*FileNotFound: C:\\W\\none\n*FileNotFound: none\n", 13},
      // No backslash, no prefix: the match is resolved against the current directory.
      {{"C:/W/a.exe"}, "\n*FileNotFound: C:\\cwd\\a.exe\n", 0},
      // A long form too long for the buffer still counts.
      {{"C:\\W\\long.exe"}, "\nProtectedFile: C:\\W\\long.exe\n", 300},
      {{"C:\\W\\denied.exe"}, "\n\nSystem error 5 has occurred.\n\nAccess is denied.\r\n\n", 5},
      // A full path too long for the buffer is left empty.
      {{"x"}, "\n*FileNotFound: \n", 0},
      {{"/usr/bin/l?"}, "\nProtectedFile: /usr/bin/ls\n", 11, u'/'},
      // Paths that do not fit are never used cut; a joined one is no long path obtained.
      {{kTooLong.c_str(), kHuge.c_str()},
       "\n*FileNotFound: " + kFits + "\n*FileNotFound: " + std::string(kMaxPath, 'h') + "\n",
       13},
      {{kFits.c_str()}, "\n*NotProtected: f\n", 2},
      {{deep.c_str()}, "\n*FileNotFound: " + deep_cut + "\n", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);  // the case's index
    FakePlatform platform;
    System(platform);
    platform.separator = c.separator;
    Console console(platform);
    ErrorReport errors(platform, console);
    QueryMode mode(platform, console, errors);
    EXPECT_EQ(mode.Run(static_cast<int>(c.args.size()), c.args.data()), c.status);
    EXPECT_EQ(platform.output, c.output);
    EXPECT_EQ(platform.open_searches, 0) << "a search was left open";
  }
}

}  // namespace
}  // namespace corvane
