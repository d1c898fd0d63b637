#include "query/list_mode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"

namespace corvane {
namespace {

using testing::FakePlatform;
using testing::Outcome;

TEST(ListModeTest, ListingEndsWithCountLineOrErrorReport) {
  struct Case {
    const char* name;
    std::vector<std::u16string> list;
    std::uint32_t end_code;
    std::deque<Outcome> queued;  // answers before the list is consulted
    std::string output;
    std::uint32_t status;
  };
  const std::vector<Case> cases = {
      {"normal listing",
       {u"C:\\W\\a.exe", u"C:\\W\\b.dll"},
       18,
       {},
       "\nC:\\W\\a.exe\nC:\\W\\b.dll\n\n2 files displayed.\n",
       18},
      {"empty list", {}, 18, {}, "\n\n0 files displayed.\n", 18},
      {"last error 0 at the end", {u"x"}, 0, {}, "\nx\n\n1 files displayed.\n", 0},
      {"failure on the first call",
       {u"x"},
       18,
       {{0, 5}},
       "\n\nSystem error 5 has occurred.\n\nAccess is denied.\r\n",
       5},
      {"failure after entries",
       {u"a", u"b", u"c"},
       1722,
       {},
       "\na\nb\nc\n\nSystem error 1722 has occurred.\n\n",
       1722},
      {"failure with a 32-bit code",
       {u"a"},
       0xFFFFFFFFu,
       {},
       "\na\n\nSystem error -1 has occurred.\n\n",
       0xFFFFFFFFu},
  };
  for (const Case& c : cases) {
    FakePlatform platform;
    platform.protected_list = c.list;
    platform.list_end_error = c.end_code;
    platform.next_list_entry = c.queued;
    platform.system_messages[5] = "Access is denied.\r\n";
    Console console(platform);
    ErrorReport errors(platform, console);
    const std::uint32_t status = ListMode(platform, console, errors).Run();
    EXPECT_EQ(platform.output, c.output) << c.name;
    EXPECT_EQ(status, c.status) << c.name;
    EXPECT_EQ(platform.beeps, c.status == 0 || c.status == 18 ? 0 : 1) << c.name;
    ASSERT_FALSE(platform.calls.empty());
    EXPECT_EQ(platform.calls.front(), "SfcGetNextProtectedFile 0") << "walk must start at 0";
  }
}

}  // namespace
}  // namespace corvane
