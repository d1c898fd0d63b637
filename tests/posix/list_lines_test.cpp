#include "platform/posix/list_lines.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "tests/posix/temp_tree.h"

namespace corvane::posix {
namespace {

struct OpenList {
  std::uint32_t number;
  std::string text;
  int fd = -1;
  std::vector<std::size_t> starts;  // of its lines
};

std::string_view LineAt(const std::string& text, std::size_t start) {
  const std::size_t end = text.find('\n', start);
  return std::string_view(text).substr(start, end == std::string::npos ? end : end - start);
}

// Lines of every length up to 300 and one longer than a block, so that lines
// start and end at every place in a block and run across its ends; the last
// without its '\n'.
std::string Lines(char fill) {
  std::string text;
  for (std::size_t size = 0; size <= 300; ++size) text += std::string(size, fill) + "\n";
  text += std::string(10000, fill) + "\n" + std::string(77, fill);
  return text;
}

TEST(ListLinesTest, EveryLineOfListsSharingCachedBlocksComesBackWhole) {
  testing::TempTree tree;
  // Lists 0 and 64 take the same cached blocks: each read evicts the other's.
  std::vector<OpenList> lists = {{0, Lines('a'), -1, {}}, {64, Lines('b'), -1, {}}, {5, Lines('c'), -1, {}}};
  for (OpenList& list : lists) {
    tree.Write(std::to_string(list.number), list.text);
    list.fd = open(tree.Path(std::to_string(list.number)).c_str(), O_RDONLY);
    ASSERT_GE(list.fd, 0);
    for (std::size_t at = 0; at < list.text.size(); at = list.text.find('\n', at) + 1) {
      list.starts.push_back(at);
      if (list.text.find('\n', at) == std::string::npos) break;
    }
  }
  ListLines lines;
  // Forwards, backwards and alternating between the lists.
  for (int pass = 0; pass < 2; ++pass)
    for (std::size_t i = 0; i < lists[0].starts.size(); ++i)
      for (const OpenList& list : lists) {
        const std::size_t start = list.starts[pass == 0 ? i : list.starts.size() - 1 - i];
        std::span<char> line;
        ASSERT_EQ(lines.Read(list.number, list.fd, true, start, &line), 0);
        ASSERT_EQ(std::string_view(line.data(), line.size()), LineAt(list.text, start))
            << "list " << list.number << " at " << start;
      }
  std::span<char> line;
  EXPECT_EQ(lines.Read(5, lists[2].fd, true, lists[2].text.size() + 1, &line), 0);
  EXPECT_TRUE(line.empty());
  for (const OpenList& list : lists) close(list.fd);
}

TEST(ListLinesTest, AFailedReadIsReportedAndNotKept) {
  testing::TempTree tree;
  tree.Write("list", "first\nsecond\n");
  const int fd = open(tree.Path("list").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ListLines lines;
  std::span<char> line;
  for (const bool regular : {true, false}) {
    SCOPED_TRACE(regular);
    EXPECT_EQ(lines.Read(1, -1, regular, 6, &line), EBADF);
    EXPECT_TRUE(line.empty());
    ASSERT_EQ(lines.Read(1, fd, regular, 6, &line), 0);
    EXPECT_EQ(std::string_view(line.data(), line.size()), "second");
  }
  close(fd);
}

}  // namespace
}  // namespace corvane::posix
