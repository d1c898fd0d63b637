#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <set>
#include <string>

#include "platform/posix/error_codes.h"
#include "platform/posix/packages/dpkg/dpkg_database.h"
#include "platform/posix/posix_platform.h"
#include "tests/posix/temp_tree.h"

namespace corvane::posix {
namespace {

using Names = std::set<std::string>;

using testing::Narrow;
using testing::Wide;

std::string CurrentDirectory() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer);
}

// Works inside a tree of its own, which is the current directory meanwhile.
class PosixPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file : {"a.txt", "b.txt", "ab", "[x]", "A.b", "sub/f"}) tree_.Write(file, "");
    ASSERT_EQ(chdir(tree_.Path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(here_.c_str()), 0); }

  // The names a whole search delivers; *error is the code when it cannot start.
  Names Find(const std::u16string& pattern, std::uint32_t* error) {
    Names names;
    FindData data;
    const Handle search = platform_.FindFirstFileW(pattern.c_str(), &data);
    *error = search == kInvalidHandleValue ? platform_.GetLastError() : 0;
    if (search == kInvalidHandleValue) return names;
    do names.insert(Narrow(data.cFileName));
    while (platform_.FindNextFileW(search, &data) != 0);
    EXPECT_EQ(platform_.GetLastError(), kErrorNoMoreFiles);
    EXPECT_NE(platform_.FindClose(search), 0);
    return names;
  }

  const std::string here_ = CurrentDirectory();
  testing::TempTree tree_;
  DpkgDatabase database_{tree_.Path("db")};
  PosixPlatform platform_{database_};
};

TEST_F(PosixPlatformTest, FindMatchesTheLastComponent) {
  // clang-format off
  const struct {
    std::u16string pattern;
    Names names;
    std::uint32_t error;
  } cases[] = {
      {u"*", {".", "..", "a.txt", "b.txt", "ab", "[x]", "A.b", "sub"}, 0},
      {u"*.txt", {"a.txt", "b.txt"}, 0}, {u"?b", {"ab"}, 0},   {u"[*", {"[x]"}, 0},
      {u"[x]", {"[x]"}, 0},              {u"A*", {"A.b"}, 0},  {u"sub", {"sub"}, 0},
      {u"..", {".."}, 0},                {u"sub/*", {".", "..", "f"}, 0},
      {u"a.TXT", {}, 2},                 {u"x*", {}, 2},       {u"sub/", {}, 2},
      {u"", {}, 2},                      {u"nope/*", {}, 3},   {u"nope/x", {}, 3},
      {u"ab/*", {}, 3},                  {u"\u0100*", {}, kErrorInvalidName},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::uint32_t error = 0;
    EXPECT_EQ(Find(c.pattern, &error), c.names) << Narrow(c.pattern.c_str());
    EXPECT_EQ(error, c.error) << Narrow(c.pattern.c_str());
  }
  std::uint32_t error = 0;
  EXPECT_EQ(Find(Wide(tree_.Path("a*")), &error), (Names{"a.txt", "ab"}));
  EXPECT_TRUE(Find(u"/*", &error).contains("."));
}

TEST_F(PosixPlatformTest, FullPathJoinsFoldsAndWritesOnlyWhatFits) {
  char16_t buffer[kPathBufferSize] = {u'Q'};
  char16_t* file_part = nullptr;
  const std::string here = CurrentDirectory(), full = here + "/x/z";
  EXPECT_EQ(platform_.GetFullPathNameW(u"x/./y/../z", full.size(), buffer, &file_part),
            full.size() + 1);
  EXPECT_EQ(buffer[0], u'Q');
  EXPECT_EQ(platform_.GetFullPathNameW(u"x/./y/../z", full.size() + 1, buffer, &file_part),
            full.size());
  EXPECT_EQ(Narrow(buffer), full);
  EXPECT_EQ(file_part, buffer + full.size() - 1);
  EXPECT_EQ(platform_.GetFullPathNameW(u"/\u00e9//t/", kMaxPath, buffer, &file_part), 5u);
  EXPECT_EQ(Narrow(buffer), "/\xe9/t/");
  EXPECT_EQ(file_part, nullptr);
  // ".." after a symbolic link goes where the kernel takes it; otherwise by the text.
  tree_.Write("sub/in/g", "");
  ASSERT_EQ(symlink("sub/in", "ln"), 0);
  ASSERT_EQ(symlink("nowhere", "broken"), 0);
  for (const auto& [name, folded] : std::initializer_list<std::pair<const char16_t*, std::string>>{
           {u"ln/../f", here + "/sub/f"},
           {u"ln/../in/../../ab", here + "/ab"},
           {u"ln/g/../..", here + "/sub"},
           {u"broken/../ab", here + "/ab"},
           {u"sub/in/../f", here + "/sub/f"}}) {
    ASSERT_GT(platform_.GetFullPathNameW(name, kMaxPath, buffer, nullptr), 0u);
    EXPECT_EQ(Narrow(buffer), folded) << Narrow(name);
  }
  for (const char16_t* bad : {u"", u"/\u0100"}) {
    EXPECT_EQ(platform_.GetFullPathNameW(bad, kMaxPath, buffer, nullptr), 0u);
    EXPECT_EQ(platform_.GetLastError(), kErrorInvalidName);
  }
}

TEST_F(PosixPlatformTest, EveryCodeTheLayerReportsHasItsMessage) {
  constexpr std::uint32_t kFlags = kFormatMessageAllocateBuffer | kFormatMessageFromSystem;
  const auto look_up = [&](std::uint32_t code, char** text) {
    return platform_.FormatMessageA(kFlags, nullptr, code, kLangNeutralSublangDefault,
                                    reinterpret_cast<char*>(text), 0, nullptr);
  };
  for (int e = 1; e < 200; ++e) {
    char* text = nullptr;
    const std::uint32_t length = look_up(WindowsErrorFromErrno(e), &text);
    ASSERT_NE(length, 0u) << "errno " << e;
    EXPECT_EQ(length, std::strlen(text));
    EXPECT_STREQ(text + length - 1, "\n");
    EXPECT_EQ(platform_.LocalFree(text), nullptr);
  }

  char* text = nullptr;
  EXPECT_EQ(look_up(2100, &text), 0u);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(platform_.GetLastError(), kErrorMessageNotFound);
  EXPECT_EQ(platform_.LoadLibraryExW(u"netmsg.dll", nullptr, kLoadLibraryAsDatafile), nullptr);
}

}  // namespace
}  // namespace corvane::posix
