// The name index decides by the bytes of a name, whatever its hash: with every
// name in one group, as a name made to collide would be, the answers stay.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/posix/packages/recorded_files.h"

namespace corvane::posix {
namespace {

struct OneGroup {
  std::size_t operator()(std::string_view) const { return 12345; }
};

template <typename Hash>
void ExpectDirectories() {
  RecordedFiles files;
  for (const std::string& path :
       std::vector<std::string>{"/d/name", "/e/name", "/d/name2", "/d/nam", "/d/Name",
                                std::string("/d/na\0e", 7), "/name", "/d/e/name"})
    files.Add(SplitPath(path));
  NameIndex<Hash> index;
  index.Build(files);
  const struct {
    std::string name;
    std::vector<std::string> directories;
  } cases[] = {
      // clang-format off
      {"name", {"", "/d", "/d/e", "/e"}}, {"name2", {"/d"}}, {"nam", {"/d"}}, {"Name", {"/d"}},
      {"nme", {}}, {"name3", {}}, {std::string("na\0e", 4), {"/d"}}, {"", {}}};
  // clang-format on
  for (const auto& c : cases) {
    std::vector<std::string> seen;
    index.ForEachDirectoryOf(c.name, [&](std::string_view directory) {
      seen.emplace_back(directory);
      return false;
    });
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, c.directories) << c.name;
  }
}

TEST(NameIndexTest, OnlyTheNameItselfAnswersWhateverItsHash) {
  ExpectDirectories<TextHash>();
  ExpectDirectories<OneGroup>();
}

}  // namespace
}  // namespace corvane::posix
