#include "platform/posix/dpkg_database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/posix_platform.h"
#include "tests/posix/temp_tree.h"

namespace corvane::posix {
namespace {

using testing::TempTree;

// An md5sums line recording the absolute `path`.
std::string Line(const std::string& path) {
  return "0123456789abcdef0123456789ABCDEF  " + path.substr(1) + "\n";
}

struct Expectation {
  const char* path;  // inside the tree
  std::uint32_t answer;
};

class DpkgDatabaseTest : public ::testing::Test {
 protected:
  // Writes the list `file_name` recording the tree's `paths`.
  void WriteList(const std::string& file_name, std::initializer_list<std::string> paths) {
    std::string text;
    for (const std::string& path : paths) text += Line(tree_.Path(path));
    tree_.Write("db/info/" + file_name, text);
  }
  // Asks each question first of a database of its own, which answers by
  // reading the lists until a line decides, then of database_, which answers
  // all but the first from its index.
  void ExpectAnswers(std::initializer_list<Expectation> expectations) {
    for (const Expectation& e : expectations) {
      DpkgDatabase fresh(tree_.Path("db"));
      EXPECT_EQ(fresh.Query(tree_.Path(e.path)), e.answer) << "first question: " << e.path;
    }
    for (const Expectation& e : expectations)
      EXPECT_EQ(database_.Query(tree_.Path(e.path)), e.answer) << "later question: " << e.path;
  }

  TempTree tree_;
  DpkgDatabase database_{tree_.Path("db")};
};

TEST_F(DpkgDatabaseTest, DirectoryAliasesResolveButLastComponentsDoNot) {
  tree_.Write("real/tool", "");
  tree_.Write("real/sub/tool", "");
  tree_.Write("real/libfoo.so.1", "");
  tree_.Link("real/libfoo.so", "libfoo.so.1");
  tree_.Write("real/target", "");
  tree_.Link("real/link", "target");
  tree_.Link("alias", "real");
  WriteList("coreutils.md5sums",
            {"real/tool", "alias/viaalias", "real/libfoo.so.1", "real/link", "gone/tool"});
  WriteList("other.md5sums", {"p/mytool", "p/tool.d/x", "q/tool", "real/sub/tool"});
  // clang-format off
  ExpectAnswers({
      {"real/tool", 0},         {"alias/tool", 0},       {"alias//tool", 0},
      {"real/viaalias", 0},     {"alias/viaalias", 0},   {"real/other", 2},
      {"real/libfoo.so.1", 0},  {"real/libfoo.so", 2},   {"real/link", 0},
      {"real/target", 2},       {"gone/tool", 0},        {"gone/./tool", 0},
      {"elsewhere/tool", 2},    {"real/", 2},            {"q/tool", 0},
      {"alias/sub/tool", 0},    {"p/tool", 2},           {"p/mytool", 0},
      {"p/ytool", 2},           {"p/tool.d", 2},         {"p/tool.d/x", 0},
      {"p/tool.d/", 2},         {"rea/tool", 2},         {"real/sub", 2},
  });
  // clang-format on
  EXPECT_EQ(database_.Query("relative/tool"), 2u);
}

TEST_F(DpkgDatabaseTest, DivertedFilesAreProtectedWhereTheyWereMoved) {
  const auto triple = [&](const char* from, const char* to, const char* package) {
    return tree_.Path(from) + "\n" + tree_.Path(to) + "\n" + package + "\n";
  };
  std::string diversions =
      triple("d/file", "d/file.distrib", "other") + triple("d/file2", "d/file2.distrib", "other") +
      triple("d/local", "d/local.orig", ":") + triple("d/own", "d/own.real", "pkg");
  tree_.Write("db/diversions", diversions);
  WriteList("pkg.md5sums", {"d/file", "d/file2", "d/local", "d/own"});
  WriteList("other:amd64.md5sums", {"d/file"});
  // clang-format off
  ExpectAnswers({
      {"d/file.distrib", 0}, {"d/file", 0},      {"d/file2.distrib", 0}, {"d/file2", 2},
      {"d/local.orig", 0},   {"d/local", 2},     {"d/own", 0},           {"d/own.real", 2},
  });
  // clang-format on
}

// Longer than one read: the first answer comes before the list's end, and
// the later ones must still see all of it, read then and kept.
TEST_F(DpkgDatabaseTest, ReadAtTheFirstQuestionAndKept) {
  std::string text = Line(tree_.Path("first"));
  for (int i = 0; i < 4000; ++i) text += Line(tree_.Path("filler/" + std::to_string(i)));
  tree_.Write("db/info/big.md5sums", text + Line(tree_.Path("last")));
  WriteList("other.md5sums", {"other"});
  EXPECT_EQ(database_.Query(tree_.Path("first")), 0u);
  std::filesystem::remove_all(tree_.Path("db"));
  for (const char* path : {"first", "last", "filler/3999", "other"})
    EXPECT_EQ(database_.Query(tree_.Path(path)), 0u) << path;
}

TEST_F(DpkgDatabaseTest, MissingDatabaseIsNeverNotProtected) {
  ExpectAnswers({{"anything", 3}});
  SplitPath path;
  EXPECT_EQ(database_.Listed(0, kMaxPath, &path), 3u);
}

TEST_F(DpkgDatabaseTest, UnreadableListFailsWithAccessDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not deny root";
  WriteList("a.md5sums", {"a"});
  WriteList("b.md5sums", {"b"});
  ASSERT_EQ(chmod(tree_.Path("db/info/b.md5sums").c_str(), 0), 0);
  ExpectAnswers({{"a", 5}, {"b", 5}, {"c", 5}});
}

TEST_F(DpkgDatabaseTest, ListIsSortedByBytesWithoutDuplicatesOrCutPaths) {
  const std::size_t room = 256 - tree_.Path().size();  // "d/" plus this many: 259 in all
  const std::string longest = "d/" + std::string(room, 'x');
  const std::string too_long = "d/" + std::string(room + 1, 'y');
  tree_.Write("db/diversions", tree_.Path("d/moved") + "\n" + tree_.Path("d/moved.to") + "\na\n");
  WriteList("a.md5sums", {"z", "d/\xc3\xa9", too_long, "d/b", longest});
  WriteList("b:i386.md5sums", {"d/b", "d/moved"});

  PosixPlatform platform(tree_.Path("db"));
  std::vector<std::string> expected;
  for (const char* path : {"d/b", "d/moved.to", longest.c_str(), "d/\xc3\xa9", "z"})
    expected.push_back(tree_.Path(path));
  EXPECT_EQ(testing::Listing(platform), expected);

  ProtectedFileData record = {};
  record.FileNumber = 2;  // the position alone says which entry comes
  ASSERT_NE(platform.SfcGetNextProtectedFile(nullptr, &record), 0);
  EXPECT_EQ(std::u16string(record.FileName).size(), 259u);
  EXPECT_EQ(record.FileNumber, 3u);
}

// Paths are widened into FileName in blocks: every length of directory and
// name around a block's size, and paths right up to the limit, must come out
// whole and terminated.
TEST_F(DpkgDatabaseTest, ListedPathsOfEveryLengthComeOutWhole) {
  std::vector<std::string> paths;
  for (std::size_t directory = 1; directory <= 18; ++directory)
    for (std::size_t name = 1; name <= 18; ++name)
      paths.push_back(std::string(directory, 'd') + "/" + std::string(name, 'n'));
  const std::size_t base = tree_.Path().size() + 1;  // "<tree>/"
  for (std::size_t total = 250; total <= 261; ++total)
    for (const std::size_t name : {std::size_t{1}, std::size_t{7}, std::size_t{9}})
      paths.push_back(std::string(total - base - 1 - name, 'e') + "/" + std::string(name, 'm'));
  std::string text;
  for (const std::string& path : paths) text += Line(tree_.Path(path));
  tree_.Write("db/info/a.md5sums", text);

  std::set<std::string> expected;
  for (const std::string& path : paths)
    if (tree_.Path(path).size() < kMaxPath) expected.insert(tree_.Path(path));
  PosixPlatform platform(tree_.Path("db"));
  EXPECT_EQ(testing::Listing(platform), std::vector<std::string>(expected.begin(), expected.end()));
}

}  // namespace
}  // namespace corvane::posix
