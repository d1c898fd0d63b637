#include "report/console.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace corvane {
namespace {

// No code page writes one character as more bytes than this.
constexpr std::size_t kMaxBytesPerCharacter = 4;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// Collects one message as standard output takes it: a console, the wide
// text itself; anything else, its bytes in the system's code page. A message
// longer than the chunk goes out in several pieces rather than being cut.
class MessageOut {
 public:
  explicit MessageOut(Platform& platform)
      : platform_(platform), console_(platform.StandardOutputIsConsole()) {}
  ~MessageOut() { Flush(); }

  // Puts `text`, which ends at its terminator or after `extent` characters.
  // Once the platform cannot convert a piece, the rest of the message is
  // dropped.
  void Put(const char16_t* text, std::size_t extent) {
    std::size_t length = 0;
    while (text != nullptr && length < extent && text[length] != 0) ++length;
    while (length > 0 && !stopped_) {
      const std::size_t taken = console_ ? PutWide(text, length) : PutNarrow(text, length);
      text += taken;
      length -= taken;
    }
  }
  bool stopped() const { return stopped_; }
  int written() const { return written_; }

 private:
  // Each stores a leading part of the `length` characters of `text` and
  // returns how many it took. A surrogate pair is one character: converted
  // or written apart, it would be two unknown ones.
  std::size_t PutWide(const char16_t* text, std::size_t length) {
    if (wide_.size() - used_ < 2) Flush();
    std::size_t take = std::min(length, wide_.size() - used_);
    if (take < length && IsHighSurrogate(text[take - 1])) --take;
    std::copy(text, text + take, wide_.data() + used_);
    used_ += take;
    written_ += static_cast<int>(take);
    return take;
  }
  std::size_t PutNarrow(const char16_t* text, std::size_t length) {
    // Room for two characters at least, so that a pair is never split.
    if (chunk_.size() - used_ < 2 * kMaxBytesPerCharacter) Flush();
    const std::size_t room = chunk_.size() - used_;
    std::size_t take = std::min(length, room / kMaxBytesPerCharacter);
    if (take < length && IsHighSurrogate(text[take - 1])) --take;
    const int bytes = platform_.WideCharToMultiByte(kCodePageAnsi, kWcNoBestFitChars, text,
                                                    static_cast<int>(take), chunk_.data() + used_,
                                                    static_cast<int>(room), nullptr, nullptr);
    if (bytes <= 0) {
      stopped_ = true;
      return 0;
    }
    used_ += static_cast<std::size_t>(bytes);
    written_ += bytes;
    return take;
  }
  void Flush() {
    if (used_ > 0 && console_)
      platform_.WriteConsoleW(wide_.data(), used_);
    else if (used_ > 0)
      platform_.WriteStandardOutput(chunk_.data(), used_);
    used_ = 0;
  }

  Platform& platform_;
  const bool console_;
  // Not zero-filled: only the used part is ever read, and this runs per
  // message. One of the two is used, as console_ says.
  std::array<char, 1024> chunk_;
  std::array<char16_t, 1024> wide_;
  std::size_t used_ = 0;
  int written_ = 0;
  bool stopped_ = false;
};

void FormatNumber(MessageOut& out, std::int32_t number) {
  char16_t text[12] = {};
  char16_t* first = text + 11;
  // Work in the unsigned domain so INT32_MIN has a magnitude to print.
  std::uint32_t magnitude =
      number < 0 ? 0u - static_cast<std::uint32_t>(number) : static_cast<std::uint32_t>(number);
  do {
    *--first = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) *--first = u'-';
  out.Put(first, static_cast<std::size_t>(text + 11 - first));
}

bool IsDirective(const char16_t* p) { return p[0] == u'%' && (p[1] == u's' || p[1] == u'd'); }

}  // namespace

int Console::Write(const char16_t* format, const FormatArg* args, std::size_t count) {
  MessageOut out(platform_);
  const FormatArg* next = args;
  const FormatArg* const end = args + count;
  for (const char16_t* p = format; *p != 0 && !out.stopped(); ++p) {
    if (!IsDirective(p)) {
      // The literal text up to the next directive goes in one piece.
      const char16_t* stop = p + 1;
      while (*stop != 0 && !IsDirective(stop)) ++stop;
      out.Put(p, static_cast<std::size_t>(stop - p));
      p = stop - 1;
      continue;
    }
    const bool want_number = *++p == u'd';
    if (next == end) continue;
    const FormatArg& arg = *next++;
    if (arg.is_number != want_number) continue;
    if (want_number)
      FormatNumber(out, arg.number);
    else
      out.Put(arg.text, arg.extent);
  }
  return out.written();
}

}  // namespace corvane
