#include "report/error_report.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_platform.h"

namespace corvane {
namespace {

using testing::FakePlatform;

// Failures inside a report are the fault matrix's (tests/hardening). Every
// code has a system text and, near the network range, a module text too, so
// the line shows which was asked. One report serves every case in order: a
// shorter text after a longer one must end where it does.
TEST(ErrorReportTest, NumberAndTextFromTheRightSourceCutToTheBuffer) {
  FakePlatform platform;
  platform.system_messages = {{5, "Access is denied.\r\n"}, {0xFFFFFFFFu, std::string(600, 'm')}};
  for (std::uint32_t code : {2099u, 2100u, 2999u, 3000u}) {
    platform.system_messages[code] = "System " + std::to_string(code) + ".\r\n";
    platform.network_messages[code] = "Net " + std::to_string(code) + ".\r\n";
  }
  struct Case {
    std::uint32_t code;
    bool module_loads;
    std::string text;
  };
  const Case cases[] = {
      {0xFFFFFFFFu, true, std::string(kMessageBufferSize - 1, 'm')},
      {5, true, "Access is denied.\r\n"},
      {2099, true, "System 2099.\r\n"},
      {2100, true, "Net 2100.\r\n"},
      {2999, true, "Net 2999.\r\n"},
      {3000, true, "System 3000.\r\n"},
      {2100, false, "System 2100.\r\n"},  // the lookup goes on without the module
      {8, true, ""},
  };
  Console console(platform);
  ErrorReport report(platform, console);
  int beeps = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    platform.network_module_loads = c.module_loads;
    platform.output.clear();
    report.Report(c.code);
    EXPECT_EQ(platform.output, "\n\nSystem error " +
                                   std::to_string(static_cast<std::int32_t>(c.code)) +
                                   " has occurred.\n\n" + c.text);
    EXPECT_EQ(platform.beeps, ++beeps);
    EXPECT_EQ(platform.loaded_modules, 0) << "module left loaded";
    EXPECT_EQ(platform.outstanding_messages, 0) << "message text not freed";
    EXPECT_TRUE(report.BuffersIntact());
  }
}

}  // namespace
}  // namespace corvane
