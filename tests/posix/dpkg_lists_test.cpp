// The set of checksum lists when a helper thread opens them ahead of the
// reader: every list is opened once, whoever opens it.
#include "platform/posix/dpkg_lists.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/posix/helper_thread.h"
#include "tests/posix/temp_tree.h"

namespace corvane::posix {
namespace {

using testing::TempTree;

int OpenDescriptors() {
  int count = 0;
  DIR* const fds = opendir("/proc/self/fd");
  while (readdir(fds) != nullptr) ++count;
  closedir(fds);
  return count;
}

TEST(ListSetTest, OpeningAheadOpensEachListOnceAndLeaksNothing) {
  // More lists than descriptors, so that both the helper and the reader open
  // some; one removed after the directory was read, one a directory.
  constexpr int kLists = 400;
  TempTree tree;
  for (int list = 0; list < kLists; ++list)
    tree.Write("info/p" + std::to_string(list) + ".md5sums", std::to_string(list));
  tree.Write("info/gone.md5sums", "");
  tree.Write("info/dir.md5sums/x", "");
  const testing::DescriptorLimit limit(256);

  const int before = OpenDescriptors();
  for (const bool helpers : {true, false}) {
    SCOPED_TRACE(helpers ? "with helpers" : "caller alone");
    AllowHelpers(helpers);
    ListSet lists;
    ASSERT_EQ(lists.Find(tree.Path("info")), 0);
    std::filesystem::remove(tree.Path("info/gone.md5sums"));
    {
      const ListSet::OpeningAhead opening(lists);
      for (std::size_t list = 0; list < lists.size(); ++list) {
        int fd = -1;
        const int failure = lists.Open(list, &fd);
        if (lists.name(list) == "gone.md5sums") {
          EXPECT_EQ(failure, ENOENT);
        } else {
          ASSERT_EQ(failure, 0) << lists.name(list);
          char bytes[8] = {};
          const ssize_t got = pread(fd, bytes, sizeof bytes, 0);
          if (lists.name(list) == "dir.md5sums")
            EXPECT_EQ(got, -1);
          else
            EXPECT_EQ("p" + std::string(bytes, got) + ".md5sums", lists.name(list));
        }
        lists.Release(list);
      }
    }
    EXPECT_LE(OpenDescriptors(), 256 - 32);
    tree.Write("info/gone.md5sums", "");
  }
  AllowHelpers(true);
  EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace corvane::posix
