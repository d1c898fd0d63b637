// Which database answers (ChosenDatabase), and the rpm database on what is
// not a database rpm wrote: those rpm wrote are tests/e2e/rpm.sh's.
#include "platform/posix/packages/rpm/rpm_database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/posix/error_codes.h"
#include "platform/posix/packages/package_database.h"
#include "tests/posix/temp_tree.h"

namespace corvane::posix {
namespace {

// A database that answers every question with `answer`, counting them.
struct Fixed final : PackageDatabase {
  std::uint32_t answer = 0;
  int questions = 0;
  std::uint32_t Query(std::string_view, bool) override { return ++questions, answer; }
  std::uint32_t Listed(std::uint32_t, std::size_t, ListedPath*) override {
    return ++questions, answer;
  }
};
Fixed first, second;
int looks = 0;  // how often the candidates' presence was asked
bool present[2];

constexpr ChosenDatabase::Candidate kCandidates[] = {
    {[] { return ++looks, present[0]; }, []() -> PackageDatabase& { return first; }},
    {[] { return ++looks, present[1]; }, []() -> PackageDatabase& { return second; }},
};

TEST(ChosenDatabaseTest, TheFirstPresentAnswersEveryQuestionAndTheChoiceIsMadeOnce) {
  first.answer = 11, second.answer = 22;
  const struct {
    bool first_present, second_present;
    std::uint32_t answer;
    int looks;
  } cases[] = {
      {true, true, 11, 1}, {false, true, 22, 2}, {false, false, kErrorServiceDoesNotExist, 2}};
  for (const auto& c : cases) {
    present[0] = c.first_present, present[1] = c.second_present, looks = 0;
    ChosenDatabase database(kCandidates);
    ListedPath path;
    EXPECT_EQ(database.Query("/a", false), c.answer);
    present[0] = present[1] = true;  // what appears later changes nothing
    EXPECT_EQ(database.Listed(0, 10, &path), c.answer);
    EXPECT_EQ(database.Query("/b", true), c.answer);
    EXPECT_EQ(looks, c.looks);
  }
}

// Every question, first and later, queries and listing alike, gets `answer`.
void ExpectEveryAnswer(RpmDatabase& database, std::uint32_t query, std::uint32_t listed) {
  ListedPath path;
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(database.Query("/usr/bin/ls", false), query);
    EXPECT_EQ(database.Query("/usr/bin/ls", true), query);
    EXPECT_EQ(database.Listed(0, 4096, &path), listed);
  }
}

TEST(RpmDatabaseTest, WhatIsNoDatabaseAnswersWithoutWritingOne) {
  testing::TempTree tree;
  RpmDatabase missing(tree.Path("none"));
  ExpectEveryAnswer(missing, kErrorServiceDoesNotExist, kErrorServiceDoesNotExist);
  // A directory without a database is an empty one, and stays empty.
  tree.Write("bare/.keep", "");
  RpmDatabase bare(tree.Path("bare"));
  ExpectEveryAnswer(bare, kErrorFileNotFound, kErrorNoMoreFiles);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tree.Path("bare")), {}), 1);
  for (const char* name : {"rpmdb.sqlite", "Packages"}) {
    tree.Write(std::string("corrupt-") + name + "/" + name, std::string(70000, 'x'));
    RpmDatabase corrupt(tree.Path(std::string("corrupt-") + name));
    ExpectEveryAnswer(corrupt, kErrorFileCorrupt, kErrorFileCorrupt);
  }
}

}  // namespace
}  // namespace corvane::posix
