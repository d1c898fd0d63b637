// The POSIX protection service over hostile package databases, through the
// Platform interface only: malformed lines, binary garbage, 3 MiB lines, cut
// diversions and a million entries. Whatever the database holds, the answers
// must be the same on a first question and on a later one, and the listing
// must be sorted, free of duplicates and protected entry by entry. Each
// case runs with helper threads and with the caller doing all the work.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/helper_thread.h"
#include "platform/posix/posix_platform.h"
#include "tests/posix/temp_tree.h"

namespace corvane::posix {
namespace {

using testing::TempTree;

const std::string kDigest = "0123456789abcdef0123456789ABCDEF";

// Bytes of every value, newlines among them, the same on every run.
std::string Garbage(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<char>(seed >> 24);
  }
  return bytes;
}

// The answer SfcIsFileProtected gives for `path`: 0 when protected, else
// its last error.
std::uint32_t Answer(PosixPlatform& platform, const std::string& path) {
  const std::u16string wide = testing::Wide(path);
  return platform.SfcIsFileProtected(nullptr, wide.c_str()) != 0 ? 0 : platform.GetLastError();
}

using Answers = std::vector<std::pair<std::string, std::uint32_t>>;

// Asks each question of `answers` first on a database of its own, then on
// one that has listed everything: every listed path must answer
// "protected" and come after the one before it, and a path is listed when
// it is protected and fits a record. Returns how many were listed.
std::size_t ExpectDatabase(const std::string& directory, const Answers& answers) {
  for (const auto& [path, answer] : answers) {
    PosixPlatform fresh(directory);
    EXPECT_EQ(Answer(fresh, path), answer) << "first question: " << path.size();
  }
  PosixPlatform platform(directory);
  const std::vector<std::string> listed = testing::Listing(platform);
  EXPECT_TRUE(std::adjacent_find(listed.begin(), listed.end(), std::greater_equal<>()) ==
              listed.end())
      << "not sorted or not unique";
  for (const std::string& path : listed) EXPECT_EQ(Answer(platform, path), 0u) << path;
  for (const auto& [path, answer] : answers) {
    EXPECT_EQ(Answer(platform, path), answer) << "later question: " << path.size();
    const bool fits = path.size() < kMaxPath;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), path), answer == 0 && fits ? 1 : 0)
        << "listed: " << path.size();
  }
  return listed.size();
}

struct DatabaseCase {
  const char* name;
  // Written with "@" standing for the tree's root.
  std::string diversions;  // no file when empty
  std::vector<std::pair<std::string, std::string>> lists;
  Answers answers;
};

std::string Expand(const std::string& text, const std::string& root) {
  std::string out;
  for (char c : text) out += c == '@' ? root : std::string(1, c);
  return out;
}
// An md5sums line recording `path`, which starts with "@/".
std::string Line(const std::string& path) { return kDigest + "  " + path + "\n"; }

class HostileDatabase : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { AllowHelpers(GetParam()); }
  void TearDown() override { AllowHelpers(true); }
};

TEST_P(HostileDatabase, AnswersAndListingStayConsistent) {
  // Longer than a block of the listing's text, so that a directory needs a block of its own.
  const std::string huge(3 << 20, 'm');
  const std::string garbage = Garbage(256 * 1024, 1);
  const std::vector<DatabaseCase> cases = {
      {"malformed lines",
       "",
       {{"pkg.md5sums", Line("@/good") + kDigest.substr(1) + "  @/short\n" + kDigest +
                            "0  @/long\n" + "0123456789abcdefg123456789abcdef  @/nothex\n" +
                            kDigest + " @/onespace\n" + kDigest + "\t\t@/tabs\n" + kDigest +
                            "  \n\n  \nshort  x\n" + kDigest + "  @/crlf\r\n" + kDigest +
                            std::string("  @/nul\0x\n", 10) + Line("@/after") + kDigest +
                            "  @/unterminated"}},
       {{"@/good", 0},
        {"@/good\n", 2},
        {"/\n", 2},
        {"@/short", 2},
        {"@/long", 2},
        {"@/nothex", 2},
        {"@/onespace", 2},
        {"@/tabs", 2},
        {"@/crlf", 2},
        {"@/crlf\r", 0},
        {"@/nul", 2},
        {"@/after", 0},
        {"@/unterminated", 0}}},
      {"binary garbage around good lines",
       Garbage(64 * 1024, 2),
       {{"garbage.md5sums", garbage + "\n" + Line("@/good") + garbage},
        {"empty.md5sums", ""},
        {"nul.md5sums", std::string(4096, '\0')}},
       {{"@/good", 0}, {"@/other", 2}}},
      {"3 MiB lines",
       "@/" + huge + "\n@/moved\nother\n",
       {{"pkg.md5sums", Line("@/" + huge) + huge + "\n" + Line("@/good") +
                            Line("@/" + std::string(huge.size(), 'd') + "/name") +
                            Line(std::string(huge.size() / 4, '/') + "@/slashes")}},
       {{"@/" + huge, 2},
        {"@/moved", 0},
        {"@/good", 0},
        {"@/" + std::string(huge.size(), 'd') + "/name", 0},
        {"@/slashes", 0}}},
      {"a diversion from a directory's path to a file's",
       "@/dir/\n@/to/name\nother\n",
       {{"pkg.md5sums", Line("@/dir/name") + Line("@/to/other")}},
       {{"@/to/name", 2}, {"@/dir/name", 0}, {"@/to/other", 0}}},
      {"a diversion to a path with a zero byte",
       "@/d/f\n@/d/x" + std::string("\0y", 2) + "\nother\n",
       {{"pkg.md5sums", Line("@/d/f")}},
       {{"@/d/x", 2}}},
      {"diversions cut after the moved file's line",
       "@/a\n@/a.moved\nother\n@/b\n",
       {{"pkg.md5sums", Line("@/a") + Line("@/b")}},
       {{"@/a.moved", 0}, {"@/a", 2}, {"@/b", 0}}},
      {"diversions cut inside the target's line",
       "@/b\n@/b.mo",
       {{"pkg.md5sums", Line("@/b")}},
       {{"@/b", 0}, {"@/b.mo", 2}}},
      {"diversions cut before the package's line",
       "@/b\n@/b.moved\n",
       {{"pkg.md5sums", Line("@/b")}},
       {{"@/b", 0}, {"@/b.moved", 2}}},
  };
  for (const DatabaseCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempTree tree;
    const std::string root = tree.Path();
    if (!c.diversions.empty()) tree.Write("db/diversions", Expand(c.diversions, root));
    tree.Write("db/info/.keep", "");
    for (const auto& [file, contents] : c.lists)
      tree.Write("db/info/" + file, Expand(contents, root));

    Answers answers;
    for (const auto& [path, answer] : c.answers) answers.emplace_back(Expand(path, root), answer);
    ExpectDatabase(tree.Path("db"), answers);
  }
}

TEST_P(HostileDatabase, AMillionEntriesInMoreListsThanDescriptors) {
  // 2000 lists of 500 paths each, read under a descriptor limit of 256.
  constexpr int kLists = 2000, kPerList = 500;
  TempTree tree;
  const std::string root = tree.Path();
  const auto path = [&](int list, int file) {
    return root + "/d" + std::to_string(list % 100) + "/p" + std::to_string(list) + "-" +
           std::to_string(file);
  };
  for (int list = 0; list < kLists; ++list) {
    std::string text;
    for (int file = 0; file < kPerList; ++file) text += Line(path(list, file));
    tree.Write("db/info/p" + std::to_string(list) + ".md5sums", text);
  }
  const testing::DescriptorLimit limit(256);

  const Answers answers = {{path(0, 0), 0},
                           {path(1000, 250), 0},
                           {path(kLists - 1, kPerList - 1), 0},
                           {path(kLists, 0), 2},
                           {path(0, kPerList), 2}};
  EXPECT_EQ(ExpectDatabase(tree.Path("db"), answers), std::size_t{kLists} * kPerList);
}

TEST_P(HostileDatabase, AListThatIsAFifoFailsTheDatabaseInsteadOfHanging) {
  TempTree tree;
  tree.Write("db/info/a.md5sums", Line(tree.Path("a")));
  ASSERT_EQ(mkfifo(tree.Path("db/info/b.md5sums").c_str(), 0644), 0);
  tree.Write("db/info/c.md5sums", Line(tree.Path("c")));
  {
    // Every list is read for a file none records.
    PosixPlatform platform(tree.Path("db"));
    const std::uint32_t answer = Answer(platform, tree.Path("other"));
    EXPECT_NE(answer, 0u);
    EXPECT_NE(answer, kErrorFileNotFound);
  }
  PosixPlatform platform(tree.Path("db"));
  ProtectedFileData record = {};
  EXPECT_EQ(platform.SfcGetNextProtectedFile(nullptr, &record), 0);
  EXPECT_NE(platform.GetLastError(), kErrorNoMoreFiles);
}

INSTANTIATE_TEST_SUITE_P(Threads, HostileDatabase, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "WithHelpers" : "CallerAlone";
                         });

}  // namespace
}  // namespace corvane::posix
