#include "report/console.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_platform.h"

namespace corvane {
namespace {

using testing::FakePlatform;

struct FormatCase {
  const char* name;
  const char16_t* format;
  std::vector<FormatArg> args;
  std::string bytes;
};

TEST(ConsoleTest, FormatsAndNarrowsOneMessage) {
  const std::u16string long_text(1500, u'a');
  const std::vector<FormatCase> cases = {
      {"two directives", u"\n%s [Version %s]", {u"Corvane", u"1.00"}, "\nCorvane [Version 1.00]"},
      {"zero", u"\n%d files displayed.", {0}, "\n0 files displayed."},
      {"most negative", u"%d", {INT32_MIN}, "-2147483648"},
      {"most positive", u"%d", {INT32_MAX}, "2147483647"},
      {"latin-1 bytes", u"\n%s", {u"\u0080\u00e9\u00ff"}, "\n\x80\xe9\xff"},
      {"wide char in argument ends message", u"\nA: %s!", {u"ab\u0100cd"}, "\nA: ab"},
      {"wide char in format ends message", u"\nx\u20acy%s", {u"z"}, "\nx"},
      {"missing argument inserts nothing", u"\n%s.", {}, "\n."},
      {"mismatched argument inserts nothing", u"\n%d.", {u"x"}, "\n."},
      {"other percent signs are literal", u"100% %x", {}, "100% %x"},
      {"longer than one chunk", u"\n%s", {long_text.c_str()}, "\n" + std::string(1500, 'a')},
  };
  for (const FormatCase& c : cases) {
    FakePlatform platform;
    Console console(platform);
    const int written = console.Write(c.format, c.args.data(), c.args.size());
    EXPECT_EQ(platform.output, c.bytes) << c.name;
    EXPECT_EQ(written, static_cast<int>(c.bytes.size())) << c.name;
  }
}

TEST(ConsoleTest, NextMessageStartsAfreshAfterACut) {
  FakePlatform platform;
  Console console(platform);
  console.Write(u"\nProtectedFile: %s", {u"C:\\\u4e2d\\a"});
  console.Write(u"\nProtectedFile: %s", {u"C:\\b"});
  EXPECT_EQ(platform.output, "\nProtectedFile: C:\\\nProtectedFile: C:\\b");
  // One message is handed over in one piece, so a console sees it whole.
  EXPECT_EQ(platform.write_sizes, (std::vector<std::size_t>{19, 20}));
}

// Text of known extent is narrowed in blocks: whatever block a stop falls
// in, the message must end exactly there, and never read past the extent.
TEST(ConsoleTest, TextOfKnownExtentStopsWhereARunDoes) {
  for (const char16_t stop : {u'\0', u'\u0100', u'\uffff'}) {
    for (std::size_t at = 0; at <= 20; ++at) {
      std::u16string text(24, u'a');
      text[at] = stop;
      FakePlatform platform;
      Console console(platform);
      console.Write(u"%s.", {FormatArg(text.data(), text.size())});
      const std::string kept(at, 'a');
      EXPECT_EQ(platform.output, stop == 0 ? kept + "." : kept)
          << "stop " << static_cast<int>(stop) << " at " << at;
    }
  }
  // No terminator inside the extent: the text ends with the array.
  for (const std::size_t extent : {std::size_t{0}, std::size_t{7}, std::size_t{8},
                                   std::size_t{1500}}) {
    const std::u16string text(extent + 1, u'b');
    FakePlatform platform;
    Console console(platform);
    EXPECT_EQ(console.Write(u"%s.", {FormatArg(text.data(), extent)}),
              static_cast<int>(extent) + 1);
    EXPECT_EQ(platform.output, std::string(extent, 'b') + ".") << extent;
  }
}

TEST(WidenTextTest, StoresByteValuesUpToTheLimit) {
  struct Case {
    const char* source;
    std::size_t max;
    std::u16string stored;  // what lands in the buffer, terminator included
  };
  const Case cases[] = {
      {"abc", 10, std::u16string(u"abc\0", 4)},
      {"abc", 3, u"abc"},  // limit reached first: no terminator
      {"", 5, std::u16string(1, u'\0')},
      {"\x80\xc3\xa9\xff", 10, std::u16string(u"\u0080\u00c3\u00a9\u00ff\0", 5)},
      {"ab\0cd", 10, std::u16string(u"ab\0", 3)},
  };
  for (const Case& c : cases) {
    char16_t buffer[12];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    const std::size_t stored = WidenText(buffer, c.source, c.max);
    EXPECT_EQ(std::u16string(buffer, stored), c.stored) << c.source;
    EXPECT_EQ(buffer[stored], u'#') << "wrote past what it stored: " << c.source;
  }
}

}  // namespace
}  // namespace corvane
