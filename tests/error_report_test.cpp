#include "report/error_report.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_platform.h"

namespace corvane {
namespace {

using testing::FakePlatform;

// Negative numbers, cut texts and failures inside a report are the fault
// matrix's (tests/hardening).
void Prepare(FakePlatform& platform) {
  platform.system_messages = {{5, "Access is denied.\r\n"}, {2102, "System text.\r\n"}};
  platform.network_messages = {{2100, "Net 2100.\r\n"}, {2999, "Net 2999.\r\n"}};
}

TEST(ErrorReportTest, BeepsThenPrintsNumberAndText) {
  FakePlatform platform;
  Prepare(platform);
  Console console(platform);
  ErrorReport report(platform, console);
  report.Report(5);
  ASSERT_FALSE(platform.calls.empty());
  EXPECT_EQ(platform.calls.front(), "Beep 443 200");
  EXPECT_EQ(platform.output, "\n\nSystem error 5 has occurred.\n\nAccess is denied.\r\n");
  // The message buffer is reused: a shorter text shows alone.
  platform.system_messages[8] = "Short.\r\n";
  platform.output.clear();
  report.Report(8);
  EXPECT_EQ(platform.output, "\n\nSystem error 8 has occurred.\n\nShort.\r\n");
}

TEST(ErrorReportTest, NetworkModuleOnlyForItsRange) {
  struct Case {
    std::uint32_t code;
    bool module_loads;
    std::uint32_t flags;
    std::string text;
  };
  const Case cases[] = {
      {2099, true, 0x1300, ""},
      {2100, true, 0x1B00, "Net 2100.\r\n"},
      {2999, true, 0x1B00, "Net 2999.\r\n"},
      {3000, true, 0x1300, ""},
      {2102, false, 0x1300, "System text.\r\n"},  // lookup goes on without the module
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    FakePlatform platform;
    Prepare(platform);
    platform.network_module_loads = c.module_loads;
    Console console(platform);
    ErrorReport(platform, console).Report(c.code);
    EXPECT_EQ(platform.format_flags, std::vector<std::uint32_t>{c.flags});
    EXPECT_EQ(platform.output,
              "\n\nSystem error " + std::to_string(c.code) + " has occurred.\n\n" + c.text);
    EXPECT_EQ(platform.loaded_modules, 0) << "module left loaded";
    EXPECT_EQ(platform.outstanding_messages, 0) << "message text not freed";
  }
}

}  // namespace
}  // namespace corvane
