#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/posix/lexical_path.h"
#include "platform/posix/wildcard.h"

namespace corvane::posix {
namespace {

TEST(MatchWildcard, Table) {
  // clang-format off
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  } cases[] = {
      {"*", "", true},           {"*", ".", true},          {"*.txt", "a.txt", true},
      {"*.txt", "a.txt.bak", false}, {"a*", "a", true},     {"*a", "ba", true},
      {"?", "", false},          {"?", "x", true},          {"??", "x", false},
      {"a?c", "abc", true},      {"a?c", "ac", false},      {"a*b*c", "axxbyyc", true},
      {"a*b*c", "axxbyy", false}, {"*ab", "aab", true},     {"*a*", "bab", true},
      {"[ab]", "a", false},      {"[ab]*", "[ab]x", true},  {"A*", "abc", false},
      {"abc", "abc", true},      {"abc", "abcd", false},    {"**", "x", true},
      {"*?", "", false},         {"\xe9*", "\xe9t\xe9", true},
  };
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(MatchWildcard(c.pattern, c.name), c.matches) << c.pattern << " ~ " << c.name;
}

TEST(MatchWildcard, ManyStarsStayFast) {
  const std::string pattern = "*a*a*a*a*a*a*a*a*a*a*b";
  const std::string name(20000, 'a');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(MatchWildcard(pattern, name));
  EXPECT_TRUE(MatchWildcard(pattern, name + "b"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(FoldPath, Table) {
  // clang-format off
  struct Case {
    const char* path;
    const char* folded;
  } cases[] = {
      {"/", "/"},                       {"//", "/"},
      {"/usr//bin///ls", "/usr/bin/ls"}, {"/usr/./bin/.", "/usr/bin"},
      {"/usr/bin/../lib", "/usr/lib"},  {"/usr/bin/..", "/usr"},
      {"/..", "/"},                     {"/../../etc", "/etc"},
      {"/usr/bin/", "/usr/bin/"},       {"/usr/bin/../", "/usr/"},
      {"/usr/..//", "/"},               {"/a/.../..b/.c", "/a/.../..b/.c"},
      {"relative/x", "/relative/x"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(FoldPath(c.path), c.folded) << c.path;
}

}  // namespace
}  // namespace corvane::posix
