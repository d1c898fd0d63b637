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
  };
  for (const Case& c : cases) {
    FakePlatform platform;
    platform.separator = c.separator;
    const char* argv[] = {c.invoked_as, "/?"};
    EXPECT_EQ(RunCommand(platform, 2, argv), 1u);
    EXPECT_EQ(platform.output, Usage(c.shown)) << c.invoked_as;
    EXPECT_EQ(platform.flushes, 1);
  }
}

TEST(RunCommandTest, WithoutAnyArgumentVector) {
  FakePlatform platform;
  const char* argv[] = {nullptr};
  EXPECT_EQ(RunCommand(platform, 0, argv), 1u);
  EXPECT_EQ(platform.output, Usage(""));
}

TEST(RunCommandTest, DispatchesToListOrQuery) {
  FakePlatform platform;
  platform.protected_list = {u"C:\\W\\a.exe"};
  const char* list_argv[] = {"corvane", "C:\\W\\a.exe", "-list", "b"};
  EXPECT_EQ(RunCommand(platform, 4, list_argv), 18u);
  EXPECT_EQ(platform.output, "\nC:\\W\\a.exe\n\n1 files displayed.\n");
  for (const std::string& call : platform.calls)
    EXPECT_EQ(call.rfind("FindFirstFileW", 0), std::string::npos) << "list mode searched: " << call;

  FakePlatform query;
  const char* query_argv[] = {"corvane", "/x", "--help"};
  EXPECT_EQ(RunCommand(query, 3, query_argv), 13u);
  EXPECT_EQ(query.output, "\n*FileNotFound: /x\n*FileNotFound: --help\n");
  EXPECT_EQ(query.flushes, 1);
}

TEST(RunCommandTest, AFailedWriteDecidesTheStatus) {
  const std::vector<std::vector<const char*>> runs = {
      {"corvane"}, {"corvane", "/l"}, {"corvane", "C:\\none"}};
  for (const auto& argv : runs) {
    FakePlatform platform;
    platform.output_error = 109;  // the reader of a pipe has gone
    EXPECT_EQ(RunCommand(platform, static_cast<int>(argv.size()), argv.data()), 109u)
        << argv.back();
  }
}

}  // namespace
}  // namespace corvane
