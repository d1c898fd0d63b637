// The console writer and the error report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"
#include "report/console.h"
#include "report/error_report.h"

namespace corvane {
namespace {

using testing::FakePlatform;

// Each message twice (a cut must not carry over), in pieces of at most a chunk
// that never split a surrogate pair. Text of known extent ends at a terminator
// in it or with the extent, about a chunk's end here. A console takes wide text.
TEST(ConsoleTest, FormatsAndNarrowsOneMessage) {
  const std::u16string a1500(1500, u'a'), past = a1500 + u"zz";
  std::u16string zero = a1500, wide = a1500, han(1500, u'\u4e2d'), faces;
  zero[1024] = u'\0';
  wide[1023] = u'\u0100';
  std::string han_bytes, face_bytes;
  for (int i = 0; i < 1500; ++i) han_bytes += "\xe4\xb8\xad";
  for (int i = 0; i < 700; ++i) faces += u"\U0001F600", face_bytes += "\xf0\x9f\x98\x80";
  const struct {
    const char16_t* format;
    std::vector<FormatArg> args;
    std::string bytes;
    bool utf8 = false, console = false;
  } cases[] = {
      {u"%d %d", {INT32_MIN, INT32_MAX}, "-2147483648 2147483647"},
      {u"\n%s", {u"\u0080\u00e9\u00ff"}, "\n\x80\xe9\xff"},
      // A character the code page lacks is its default character; the rest follows.
      {u"\nA: %s!", {u"ab\u0100cd"}, "\nA: ab?cd!"},
      {u"\nx\u20acy%s", {u"z"}, "\nx?yz"},
      {u"\nx\u20acy%s", {u"\u00e9"}, "\nx\xe2\x82\xacy\xc3\xa9", true},
      {u"%s", {han.c_str()}, han_bytes, true},
      {u"%s", {faces.c_str()}, face_bytes, true},
      {u"\n%d.%s", {u"x"}, "\n."},  // a mismatched or missing argument inserts nothing
      {u"100% %x", {}, "100% %x"},
      {u"\n%s", {a1500.c_str()}, "\n" + std::string(1500, 'a')},
      {u"%s.", {FormatArg(zero.data(), 1500)}, std::string(1024, 'a') + "."},
      {u"%s.",
       {FormatArg(wide.data(), 1500)},
       std::string(1023, 'a') + "?" + std::string(476, 'a') + "."},
      {u"%s.", {FormatArg(past.data(), 1500)}, std::string(1500, 'a') + "."},
      {u"%s.", {FormatArg(u"abcdefgh", 7)}, "abcdefg."},
      {u"\n%s", {faces.c_str()}, "\n" + face_bytes, false, true},
      {u"\nx\u20acy%s", {u"\u00e9\u4e2d"}, "\nx\xe2\x82\xacy\xc3\xa9\xe4\xb8\xad", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    FakePlatform platform;
    platform.utf8 = c.utf8;
    platform.console = c.console;
    Console console(platform);
    for (int i = 0; i < 2; ++i) {
      const int written = console.Write(c.format, c.args.data(), c.args.size());
      EXPECT_TRUE(c.console || written == int(c.bytes.size())) << written;
    }
    EXPECT_EQ(platform.output, c.bytes + c.bytes);
    EXPECT_TRUE(c.console || platform.write_sizes.size() == 2 * ((c.bytes.size() + 1023) / 1024));
  }
}

// Codes about the network range have a system and a module text; one report
// serves every case in order, so a shorter text after a longer one must end.
TEST(ErrorReportTest, NumberAndTextFromTheRightSourceCutToTheBuffer) {
  FakePlatform platform;
  platform.system_messages = {{5, "Access is denied.\r\n"}, {0xFFFFFFFFu, std::string(600, 'm')}};
  for (std::uint32_t code : {2099u, 2100u, 2999u, 3000u}) {
    platform.system_messages[code] = "System " + std::to_string(code) + ".\r\n";
    platform.network_messages[code] = "Net " + std::to_string(code) + ".\r\n";
  }
  // clang-format off
  const struct {
    std::uint32_t code;
    std::string text;
  } cases[] = {
      {0xFFFFFFFFu, std::string(kMessageBufferSize - 1, 'm')}, {8, ""},
      {5, "Access is denied.\r\n"}, {2099, "System 2099.\r\n"}, {2100, "Net 2100.\r\n"},
      {2999, "Net 2999.\r\n"}, {3000, "System 3000.\r\n"}};
  // clang-format on
  Console console(platform);
  ErrorReport report(platform, console);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    platform.output.clear();
    report.Report(c.code);
    EXPECT_EQ(platform.output, "\n\nSystem error " + std::to_string(std::int32_t(c.code)) +
                                   " has occurred.\n\n" + c.text);
    EXPECT_EQ(platform.beeps, &c - cases + 1);
    EXPECT_EQ(platform.loaded_modules, 0) << "module left loaded";
    EXPECT_EQ(platform.outstanding_messages, 0) << "message text not freed";
  }
}

}  // namespace
}  // namespace corvane
