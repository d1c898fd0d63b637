// The dpkg protection service through the platform, on databases written per
// case: each answer the same as a first question (from the lists) and a later
// one (from the index); the listing sorted, unique and protected entry by entry.
#include "platform/posix/packages/dpkg/dpkg_database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/error_codes.h"
#include "platform/posix/posix_platform.h"
#include "tests/posix/temp_tree.h"

namespace corvane::posix {
namespace {

const std::string kDigest = "0123456789abcdef0123456789ABCDEF";

// An md5sums line recording `path` (with the '/' the format leaves out).
std::string Line(const std::string& path) { return kDigest + "  " + path + "\n"; }

struct Expected {
  std::string path;  // "@" stands for the tree's root
  std::uint32_t answer;
  bool recorded = true;  // as written: a protected path is listed when it fits
};

class DpkgDatabaseTest : public ::testing::Test {
 protected:
  std::string At(const std::string& text) const {
    std::string out;
    for (char c : text) out += c == '@' ? tree_.Path() : std::string(1, c);
    return out;
  }
  void WriteList(const std::string& name, const std::string& lines) {
    tree_.Write("db/info/" + name, At(lines));
  }
  void WriteDiversions(const std::string& text) { tree_.Write("db/diversions", At(text)); }

  // 0 when `platform` answers that `path` is protected, else its last error.
  static std::uint32_t Answer(PosixPlatform& platform, const std::string& path) {
    const std::u16string wide = testing::Wide(path);
    return platform.SfcIsFileProtected(nullptr, wide.c_str()) != 0 ? 0 : platform.GetLastError();
  }

  // Checks each answer first and later, and the listing; returns the listing.
  std::vector<std::string> ExpectAnswers(const std::vector<Expected>& expected) {
    for (const Expected& e : expected) {
      DpkgDatabase database(tree_.Path("db"));
      PosixPlatform first(database);
      EXPECT_EQ(Answer(first, At(e.path)), e.answer) << "first question: " << e.path.substr(0, 80);
    }
    DpkgDatabase database(tree_.Path("db"));
    PosixPlatform later(database);
    // A first question that finds nothing leaves the lists open for the listing.
    Answer(later, At("@/no-such-file"));
    const std::vector<std::string> listed = testing::Listing(later);
    EXPECT_TRUE(std::adjacent_find(listed.begin(), listed.end(), std::greater_equal<>()) ==
                listed.end())
        << "not sorted or not unique";
    for (const std::string& path : listed) EXPECT_EQ(Answer(later, path), 0u) << path;
    for (const Expected& e : expected) {
      const std::string path = At(e.path);
      EXPECT_EQ(Answer(later, path), e.answer) << "later question: " << e.path.substr(0, 80);
      EXPECT_EQ(std::count(listed.begin(), listed.end(), path),
                e.answer == 0 && e.recorded && path.size() < kMaxPath ? 1 : 0)
          << "listed: " << e.path.substr(0, 80);
    }
    return listed;
  }

  testing::TempTree tree_;
};

TEST_F(DpkgDatabaseTest, DirectoryAliasesResolveButLastComponentsDoNot) {
  for (const char* file : {"real/tool", "real/sub/tool", "real/libfoo.so.1", "real/target"})
    tree_.Write(file, "");
  tree_.Link("real/libfoo.so", "libfoo.so.1");
  tree_.Link("real/link", "target");
  tree_.Link("alias", "real");
  WriteList("coreutils.md5sums", Line("@/real/tool") + Line("@/alias/viaalias") +
                                     Line("@/real/libfoo.so.1") + Line("@/real/link") +
                                     Line("@/gone/tool"));
  WriteList("other.md5sums", Line("@/p/mytool") + Line("@/p/tool.d/x") + Line("@/q/tool") +
                                 Line("@/real/sub/tool") + Line("/corvane-test-in-the-root"));
  ExpectAnswers({
      {"@/real/tool", 0},      {"@/alias/tool", 0, false}, {"@/alias//tool", 0, false},
      {"@/real/viaalias", 0, false}, {"@/alias/viaalias", 0}, {"@/real/other", 2},
      {"@/real/libfoo.so.1", 0}, {"@/real/libfoo.so", 2}, {"@/real/link", 0},
      {"@/real/target", 2},    {"@/gone/tool", 0},      {"@/gone/./tool", 0, false},
      {"@/elsewhere/tool", 2}, {"@/real/", 2},          {"@/q/tool", 0},
      {"@/alias/sub/tool", 0, false}, {"@/p/tool", 2},  {"@/p/ytool", 2},
      {"@/p/tool.d", 2},       {"@/p/tool.d/x", 0},     {"@/rea/tool", 2},
      {"relative/tool", 2},    {"/corvane-test-in-the-root", 0},
  });
}

TEST_F(DpkgDatabaseTest, DivertedFilesAreProtectedWhereTheyWereMoved) {
  WriteDiversions(
      "@/d/file\n@/d/file.distrib\nother\n@/d/file2\n@/d/file2.distrib\nother\n"
      "@/d/local\n@/d/local.orig\n:\n@/d/own\n@/d/own.real\npkg\n"
      "@/d/dir/\n@/d/to/name\nother\n@/d/f\n@/d/x" + std::string("\0y", 2) + "\nother\n" +
      "@/d/cut\n@/d/cut.moved\nother\n");
  WriteList("pkg.md5sums", Line("@/d/file") + Line("@/d/file2") + Line("@/d/local") +
                               Line("@/d/own") + Line("@/d/dir/name") + Line("@/d/f") +
                               Line("@/d/cut"));
  WriteList("other:amd64.md5sums", Line("@/d/file"));
  ExpectAnswers({
      {"@/d/file.distrib", 0}, {"@/d/file", 0},      {"@/d/file2.distrib", 0},
      {"@/d/file2", 2},        {"@/d/local.orig", 0}, {"@/d/local", 2},
      {"@/d/own", 0},          {"@/d/own.real", 2},   {"@/d/to/name", 2},
      {"@/d/dir/name", 0},     {"@/d/x", 2},          {"@/d/f", 2},
      {"@/d/cut.moved", 0},    {"@/d/cut", 2},
  });
}

TEST_F(DpkgDatabaseTest, OnlyWellFormedLinesRecordFiles) {
  const std::string garbage = [] {
    std::string bytes(256 * 1024, '\0');
    std::uint32_t seed = 1;
    for (char& byte : bytes) byte = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    return bytes;
  }();
  const std::string huge(3 << 20, 'm');
  WriteList("pkg.md5sums",
            Line("@/good") + kDigest.substr(1) + "  @/short\n" + kDigest + "0  @/long\n" +
                "0123456789abcdefg123456789abcdef  @/nothex\n" + kDigest + " @/onespace\n" +
                kDigest + "\t\t@/tabs\n" + kDigest + "  \n\n  \nshort  x\n" + kDigest +
                "  @/crlf\r\n" + kDigest + std::string("  @/nul\0x\n", 10) + garbage + "\n" +
                Line("@/after") + Line("@/" + huge) + Line(std::string(1 << 20, '/') + "@/slashes") +
                kDigest + "  @/unterminated");
  WriteList("empty.md5sums", "");
  WriteList("zeros.md5sums", std::string(4096, '\0'));
  // A line longer than the reader holds records nothing; the lines around it still count.
  WriteList("deep.md5sums", Line("@/" + std::string(1 << 20, 'd') + "/name") + Line("@/in-deep"));
  ExpectAnswers({
      {"@/good", 0},   {"@/good\n", 2},  {"/\n", 2},       {"@/short", 2},     {"@/long", 2},
      {"@/nothex", 2}, {"@/onespace", 2}, {"@/tabs", 2},    {"@/crlf", 2},      {"@/crlf\r", 0},
      {"@/nul", 2},    {"@/after", 0},   {"@/" + huge, 2}, {"@/slashes", 2},   {"@/unterminated", 0},
      {"@/" + std::string(1 << 20, 'd') + "/name", 2}, {"@/in-deep", 0},
  });
}

TEST_F(DpkgDatabaseTest, ListingIsSortedByBytesAndLeavesOutWhatCannotFit) {
  // Every length around the record's end: kMaxPath - 1 bytes fit, kMaxPath do not.
  std::set<std::string> paths;
  const std::size_t base = tree_.Path().size() + 1;  // "<tree>/"
  for (std::size_t total = kMaxPath - 10; total <= kMaxPath + 2; ++total)
    for (const std::size_t name : {std::size_t{1}, std::size_t{7}, std::size_t{9}})
      paths.insert(tree_.Path(std::string(total - base - 1 - name, 'e') + "/" + std::string(name, 'm')));
  for (const char* path : {"z", "d/\xc3\xa9", "d/b", "d/b-c", "d/b/c"}) paths.insert(tree_.Path(path));
  std::string lines;
  for (const std::string& path : paths) lines += Line(path);
  WriteList("a.md5sums", lines);
  WriteList("b:i386.md5sums", Line("@/d/b") + Line("@/d/moved"));
  WriteDiversions("@/d/moved\n@/d/moved.to\na\n");
  paths.insert(tree_.Path("d/moved.to"));

  std::vector<Expected> expected;
  for (const std::string& path : paths) expected.push_back({path, 0});
  std::vector<std::string> fitting;
  std::copy_if(paths.begin(), paths.end(), std::back_inserter(fitting),
               [](const std::string& path) { return path.size() < kMaxPath; });
  EXPECT_EQ(ExpectAnswers(expected), fitting);

  DpkgDatabase database(tree_.Path("db"));
  PosixPlatform platform(database);
  ProtectedFileData record = {};
  record.FileNumber = 2;  // the position alone says which entry comes
  ASSERT_NE(platform.SfcGetNextProtectedFile(nullptr, &record), 0);
  EXPECT_EQ(testing::Narrow(record.FileName), fitting[2]);
  EXPECT_EQ(record.FileNumber, 3u);
}

TEST_F(DpkgDatabaseTest, ManyListsUnderALowDescriptorLimit) {
  // A descriptor kept per list would run out long before the last one.
  for (int list = 0; list < 300; ++list)
    WriteList("p" + std::to_string(list) + ".md5sums", Line("@/d/p" + std::to_string(list)));
  const testing::DescriptorLimit limit(200);
  EXPECT_EQ(ExpectAnswers({{"@/d/p0", 0}, {"@/d/p299", 0}, {"@/d/p300", 2}}).size(), 300u);
}

// A database that cannot be read never answers "not protected": every question
// and the listing get the failure's code.
TEST_F(DpkgDatabaseTest, DamagedOrMissingDatabaseFailsEveryQuestion) {
  const auto expect_failure = [&](const char* what, std::uint32_t code) {
    for (const char* path : {"@/a", "@/c", "@/other"}) {
      DpkgDatabase database(tree_.Path("db"));
      PosixPlatform platform(database);
      EXPECT_EQ(Answer(platform, At(path)), code) << what << ": " << path;
      EXPECT_EQ(Answer(platform, At(path)), code) << what << ", asked again: " << path;
    }
    DpkgDatabase database(tree_.Path("db"));
    PosixPlatform platform(database);
    ProtectedFileData record = {};
    EXPECT_EQ(platform.SfcGetNextProtectedFile(nullptr, &record), 0) << what;
    EXPECT_EQ(platform.GetLastError(), code) << what;
  };
  expect_failure("no database", kErrorServiceDoesNotExist);
  tree_.Write("db/diversions", "");
  expect_failure("no info directory", kErrorServiceDoesNotExist);

  WriteList("a.md5sums", Line("@/a"));
  WriteList("c.md5sums", Line("@/c"));
  // A list that is a directory, then a pipe; one that may not be read is hostile.sh's.
  for (const auto make : {mkdir, mkfifo}) {
    ASSERT_EQ(make(tree_.Path("db/info/b.md5sums").c_str(), 0755), 0);
    expect_failure("a list that is no regular file", kErrorAccessDenied);
    ASSERT_EQ(std::remove(tree_.Path("db/info/b.md5sums").c_str()), 0);
  }
}

}  // namespace
}  // namespace corvane::posix
