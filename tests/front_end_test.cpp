#include "cli/front_end.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fake_platform.h"

namespace corvane {
namespace {

using testing::FakePlatform;

// Where '/' separates (POSIX), an argument starting with "/l" is a path
// unless it is exactly /l or /list.
TEST(ScanArgumentsTest, ChoosesOneMode) {
  constexpr Mode U = Mode::kUsage, L = Mode::kList, Q = Mode::kQuery;
  struct Case {
    std::vector<const char*> args;  // after element 0
    Mode on_windows, on_posix;
  };
  // clang-format off
  const Case cases[] = {
      {{}, U, U},                  {{"/?"}, U, U},                {{"-?"}, U, U},
      {{"/HELP"}, U, U},           {{"-Help"}, U, U},             {{"a", "b", "/help"}, U, U},
      {{"/l", "/?"}, U, U},        {{"/?", "/l"}, U, U},          {{"/l"}, L, L},
      {{"/LIST"}, L, L},           {{"-l"}, L, L},                {{"-Lfoo.txt"}, L, L},
      {{"-lib"}, L, L},            {{"a.txt", "/l", "b"}, L, L},  {{"/lx"}, L, Q},
      {{"/lost+found"}, L, Q},     {{"/lib/x86_64-linux-gnu/libc.so.6"}, L, Q},
      {{"/help:x"}, Q, Q},         {{"--help"}, Q, Q},            {{"/x"}, Q, Q},
      {{"/"}, Q, Q},               {{"-"}, Q, Q},                 {{""}, Q, Q},
      {{"\xef/l"}, Q, Q},          {{"L/"}, Q, Q},  // no folding beyond A-Z
  };
  // clang-format on
  for (const Case& c : cases) {
    std::vector<const char*> argv = {"corvane"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
    EXPECT_EQ(ScanArguments(static_cast<int>(argv.size()), argv.data(), u'\\'), c.on_windows);
    EXPECT_EQ(ScanArguments(static_cast<int>(argv.size()), argv.data(), u'/'), c.on_posix);
  }
}

// The usage screen as users see it, with `program` in its syntax line.
std::string Usage(const std::string& program) {
  std::ifstream file(CORVANE_TEST_DATA "/usage.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_FALSE(text.empty()) << "usage.txt missing";
  const std::size_t at = text.find("@PROGRAM@");
  return at == std::string::npos ? text : text.replace(at, 9, program);
}

TEST(RunCommandTest, UsageScreenShowsTheProgramName) {
  const std::string too_long(300, 'n');
  struct Case {
    char16_t separator;
    const char* invoked_as;
    std::string shown;
  };
  const Case cases[] = {
      {u'\\', "C:\\Tools\\corvane.exe", "corvane.exe"},
      {u'\\', "corvane", "corvane"},
      {u'\\', "tools/bin/corvane", "tools/bin/corvane"},
      {u'\\', "dir\\", ""},
      {u'/', "/usr/local/bin/corvane", "corvane"},
      {u'/', "C:\\Tools\\corvane.exe", "C:\\Tools\\corvane.exe"},
      {u'\\', too_long.c_str(), std::string(kMaxPath, 'n')},
      {u'\\', nullptr, ""},  // started without an argument vector
  };
  for (const Case& c : cases) {
    FakePlatform platform;
    platform.separator = c.separator;
    const char* argv[] = {c.invoked_as, "/?"};
    EXPECT_EQ(RunCommand(platform, c.invoked_as == nullptr ? 0 : 2, argv), 1u);
    EXPECT_EQ(platform.output, Usage(c.shown)) << (c.invoked_as ? c.invoked_as : "(none)");
  }
}

// Each mode's status, unless a write to standard output failed: then that
// failure's code, whatever the mode did.
TEST(RunCommandTest, TheModesStatusOrTheFailedWritesCode) {
  struct Case {
    std::vector<const char*> argv;
    std::uint32_t list_end, output_error, status;
    std::string output;
  };
  const std::string listed = "\nC:\\W\\a.exe\n\n1 files displayed.\n";
  const Case cases[] = {
      {{"corvane", "C:\\W\\a.exe", "-list", "b"}, 18, 0, 18, listed},
      {{"corvane", "/l"}, 5, 0, 5, "\nC:\\W\\a.exe\n\nSystem error 5 has occurred.\n\n"},
      {{"corvane", "/x", "--help"}, 18, 0, 13, "\n*FileNotFound: /x\n*FileNotFound: --help\n"},
      {{"corvane"}, 18, 109, 109, Usage("corvane")},  // 109: the reader of a pipe has gone
      {{"corvane", "/l"}, 18, 109, 109, listed},
      {{"corvane", "C:\\none"}, 18, 112, 112, "\n*FileNotFound: C:\\none\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argv.back());
    FakePlatform platform;
    platform.protected_list = {u"C:\\W\\a.exe"};
    platform.list_end_error = c.list_end;
    platform.output_error = c.output_error;
    EXPECT_EQ(RunCommand(platform, static_cast<int>(c.argv.size()), c.argv.data()), c.status);
    EXPECT_EQ(platform.output, c.output);
    EXPECT_EQ(platform.flushes, 1);
  }
}

}  // namespace
}  // namespace corvane
