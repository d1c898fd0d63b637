#include "report/error_report.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_platform.h"

namespace corvane {
namespace {

using testing::FakePlatform;

class ErrorReportTest : public ::testing::Test {
 protected:
  ErrorReportTest() : console_(platform_), report_(platform_, console_) {
    platform_.system_messages = {{5, "Access is denied.\r\n"}, {2102, "System text.\r\n"}};
    platform_.network_messages = {
        {2100, "Net 2100.\r\n"}, {2102, "Net 2102.\r\n"}, {2999, "Net 2999.\r\n"}};
  }

  FakePlatform platform_;
  Console console_;
  ErrorReport report_;
};

TEST_F(ErrorReportTest, BeepsThenPrintsNumberAndSystemText) {
  report_.Report(5);
  EXPECT_EQ(platform_.output, "\n\nSystem error 5 has occurred.\n\nAccess is denied.\r\n");
  ASSERT_FALSE(platform_.calls.empty());
  EXPECT_EQ(platform_.calls.front(), "Beep 443 200");
  EXPECT_EQ(platform_.outstanding_messages, 0);
}

TEST_F(ErrorReportTest, NetworkModuleOnlyForItsRange) {
  struct Case {
    std::uint32_t code;
    bool module_loads;
    std::uint32_t flags;
    std::string text;
  };
  const Case cases[] = {
      {2099, true, 0x1300, ""},
      {2100, true, 0x1B00, "Net 2100.\r\n"},
      {2102, true, 0x1B00, "Net 2102.\r\n"},
      {2999, true, 0x1B00, "Net 2999.\r\n"},
      {3000, true, 0x1300, ""},
      {2102, false, 0x1300, "System text.\r\n"},  // lookup goes on without the module
  };
  for (const Case& c : cases) {
    FakePlatform platform;
    platform.system_messages = platform_.system_messages;
    platform.network_messages = platform_.network_messages;
    platform.network_module_loads = c.module_loads;
    Console console(platform);
    ErrorReport(platform, console).Report(c.code);
    EXPECT_EQ(platform.format_flags, std::vector<std::uint32_t>{c.flags}) << c.code;
    EXPECT_EQ(platform.output,
              "\n\nSystem error " + std::to_string(c.code) + " has occurred.\n\n" + c.text)
        << c.code;
    EXPECT_EQ(platform.loaded_modules, 0) << "module left loaded for " << c.code;
  }
}

TEST_F(ErrorReportTest, CodesWithTheTopBitSetPrintNegative) {
  report_.Report(0x80000005u);
  report_.Report(0xFFFFFFFFu);
  EXPECT_EQ(platform_.output,
            "\n\nSystem error -2147483643 has occurred.\n\n"
            "\n\nSystem error -1 has occurred.\n\n");
}

TEST_F(ErrorReportTest, ShorterSecondMessageShowsAlone) {
  platform_.system_messages[7] = "Long message text here.\r\n";
  platform_.system_messages[8] = "Short.\r\n";
  report_.Report(7);
  platform_.output.clear();
  report_.Report(8);
  EXPECT_EQ(platform_.output, "\n\nSystem error 8 has occurred.\n\nShort.\r\n");
}

TEST_F(ErrorReportTest, OverlongTextIsCutToTheBuffer) {
  platform_.system_messages[9] = std::string(2000, 'x');
  report_.Report(9);
  EXPECT_EQ(std::u16string(report_.message()), std::u16string(kMessageBufferSize - 1, u'x'));
  EXPECT_EQ(platform_.outstanding_messages, 0);
}

}  // namespace
}  // namespace corvane
