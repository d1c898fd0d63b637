// The whole command over the platform double; failures at every call are fault_matrix_test's.
#include "cli/front_end.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "corvane_version.h"
#include "fake_platform.h"

namespace corvane {
namespace {

// The usage screen as users see it, with `program` in its syntax line.
std::string Usage(const std::string& program) {
  std::ifstream file(CORVANE_TEST_DATA "/usage.txt", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  text.replace(text.find("@VERSION@"), 9, CORVANE_VERSION);  // throws when usage.txt is missing
  return text.replace(text.find("@PROGRAM@"), 9, program);
}

std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }

// The mode the arguments choose, its lines and status; after a failed write, its code.
TEST(RunCommandTest, ModeLinesAndStatus) {
  // Paths too long for a path buffer, and a directory whose entry joined to it is.
  const std::string fits(kMaxPath, 'f'), too_long(kMaxPath + 1, 'f'), huge(100000, 'h'),
      deep = "C:\\" + std::string(kMaxPath - 60, 'd') + "\\", deep_name(100, 'n'),
      deep_pattern = deep + "*", h260(kMaxPath, 'h'),
      listed = "\nC:\\W\\a.exe\n\n1 files displayed.\n", found = "\n*FileNotFound: ",
      denied = "\n\nSystem error 5 has occurred.\n\nAccess is denied.\r\n";
  // C:\W\a.exe is protected; a search names "." and ".." by the directory's own name.
  testing::FakePlatform system;
  // clang-format off
  system.matches = {
      {u"C:\\W\\a.exe", {u"a.exe"}}, {u"d\\s\\.", {u"s"}}, {u"..", {u"d"}}, {u"x", {u"x"}},
      {u"C:\\W\\long.exe", {u"long.exe"}}, {u"C:\\W\\denied.exe", {u"denied.exe"}},
      {u"gone", {u"gone"}}, {u"/usr/bin/l?", {u"ls"}}, {Wide(deep_pattern), {Wide(deep_name)}},
      {Wide(fits), {u"f"}}, {Wide(h260), {u"h"}}};  // a cut text would match these
  system.full_paths = {{u"d\\s\\.", u"C:\\d\\s"}, {u"..", u"C:\\d"},
                       {u"x", std::u16string(kMaxPath, u'p')}, {u"gone", u""}};
  system.long_lengths = {{u"C:\\W\\long.exe", kMaxPath}};
  system.answers = {{u"C:\\W\\a.exe", 0}, {u"C:\\W\\long.exe", 0}, {u"/usr/bin/ls", 0},
                    {u"C:\\W\\denied.exe", kErrorAccessDenied}};
  // clang-format on
  system.system_messages[kErrorAccessDenied] = "Access is denied.\r\n";
  system.protected_list = {u"C:\\W\\a.exe"};
  const std::string usage = Usage("corvane");
  const struct {
    std::vector<const char*> argv;
    std::string output;
    std::uint32_t status, list_end = 18, output_error = 0;
    char16_t separator = u'\\';
    std::size_t good_writes = SIZE_MAX;
  } cases[] = {
      // Help anywhere, then a list switch (case folded; where '/' separates, /l and /list alone).
      // clang-format off
      {{"corvane"}, usage, 1},                  {{"corvane", "-?"}, usage, 1},
      {{"corvane", "/HELP"}, usage, 1},         {{"corvane", "a", "-Help"}, usage, 1},
      {{"corvane", "/l", "/?"}, usage, 1},      {{"corvane", "/?", "/l"}, usage, 1},
      {{"corvane", "/LIST"}, listed, 18},       {{"corvane", "-Lfoo"}, listed, 18, 18, 0, u'/'},
      {{"corvane", "/lx"}, listed, 18},         {{"corvane", "/lx"}, found + "/lx\n", 13, 18, 0, u'/'},
      {{"corvane", "/l"}, listed, 18, 18, 0, u'/'},
      {{"corvane", "/help:x", "-", "", "\xef/l", "L/"},
       found + "/help:x" + found + "-" + found + found + "\xef/l" + found + "L/\n", 13},
      // clang-format on
      {{"dir\\"}, Usage(""), 1},
      {{nullptr}, Usage(""), 1},  // started without an argument vector
      {{"corvane", "C:\\W\\a.exe", "-list", "b"}, listed, 18},
      {{"corvane", "/l"}, listed, 0, 0},  // a walk may end with 0 too
      {{"corvane", "/l"}, "\nC:\\W\\a.exe" + denied, 5, 5},
      {{"corvane", "/x", "--help"}, found + "/x" + found + "--help\n", 13},
      {{"corvane"}, usage, 109, 18, 109},  // 109: the reader of a pipe has gone
      {{"corvane", "C:\\none"}, found + "C:\\none\n", 112, 18, 112},
      // "." and ".." are asked about as given, not by the search's name for them.
      {{"corvane", "d\\s\\.", ".."}, "\n*NotProtected: C:\\d\\s\n*NotProtected: C:\\d\n", 2},
      // A long form too long for the buffer is not obtained: the short form is never asked about.
      {{"corvane", "C:\\W\\long.exe"}, found + "C:\\W\\long.exe\n", 0},
      // Once a write has failed, nothing more is asked, and nothing beeps.
      // clang-format off
      {{"corvane", "C:\\W\\a.exe", "C:\\W\\denied.exe", "x"}, "\nProtectedFile: C:\\W\\a.exe",
       109, 18, 109, u'\\', 1},
      {{"corvane", "C:\\W\\a.exe", "C:\\W\\denied.exe"}, "", 109, 18, 109, u'\\', 0},
      {{"corvane", "/l"}, "", 109, 5, 109, u'\\', 0},
      // clang-format on
      {{"corvane", "C:\\W\\denied.exe"}, denied + "\n", 5},
      // Without a full path (too long, or none) the line names the match as searched.
      {{"corvane", "x", "gone"}, found + "x" + found + "gone\n", 0},
      {{"corvane", "/usr/bin/l?"}, "\nProtectedFile: /usr/bin/ls\n", 11, 18, 0, u'/'},
      // Paths that do not fit are never used cut; a joined one is no long path obtained.
      {{"corvane", too_long.c_str(), huge.c_str()}, found + fits + found + h260 + "\n", 13},
      {{"corvane", fits.c_str()}, "\n*NotProtected: f\n", 2},
      {{"corvane", deep_pattern.c_str()}, found + (deep + deep_name).substr(0, kMaxPath) + "\n", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    testing::FakePlatform platform = system;
    platform.list_end_error = c.list_end;
    platform.output_error = c.output_error;
    platform.separator = c.separator;
    platform.good_writes = c.good_writes;
    const int argc = c.argv[0] == nullptr ? 0 : static_cast<int>(c.argv.size());
    EXPECT_EQ(RunCommand(platform, argc, c.argv.data()), c.status);
    EXPECT_EQ(platform.output, c.output);
    EXPECT_EQ(platform.flushes, 1);
    EXPECT_EQ(platform.open_searches, 0) << "a search was left open";
    EXPECT_EQ(platform.asked_after_output_failed, 0);
    EXPECT_EQ(platform.outstanding_messages, 0) << "the arguments were not freed";
  }
}

// The arguments are the system's wide ones, never main's narrow copies (which
// would search for "?.txt"); without them the run reports 8, whatever the code.
TEST(RunCommandTest, ArgumentsComeFromTheSystem) {
  const char* const narrow[] = {"corvane", "C:\\d\\?.txt"};
  for (const int code : {-1, 8, 0}) {  // -1: no fault
    SCOPED_TRACE(code);
    testing::FakePlatform platform;
    platform.command_line = {u"corvane", u"C:\\d\\\u4e2d.txt"};
    platform.matches = {{u"C:\\d\\\u4e2d.txt", {u"\u4e2d.txt"}}, {u"C:\\d\\?.txt", {u"a.txt"}}};
    platform.answers = {{u"C:\\d\\\u4e2d.txt", 0}};
    platform.system_messages[8] = "No memory.";
    if (code >= 0) platform.faults = {{testing::Operation::kCommandLineToArgv, 0, unsigned(code)}};
    EXPECT_EQ(RunCommand(platform, 2, narrow), code < 0 ? 10u : 8u);
    EXPECT_EQ(platform.output, code < 0 ? "\nProtectedFile: C:\\d\\?.txt\n"
                                        : "\n\nSystem error 8 has occurred.\n\nNo memory.\n");
    EXPECT_EQ(platform.outstanding_messages, 0);
  }
}

}  // namespace
}  // namespace corvane
