#include "report/console.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace corvane {
namespace {

// True for a character that narrows to a byte and is not the terminator: 0
// wraps to 0xFFFF, so one test finds both.
inline bool Narrows(char16_t c) { return static_cast<char16_t>(c - 1) < 0xFF; }

// Narrows the characters of `text` into `out` up to the first one that does
// not narrow, at most `count`; returns how many it narrowed. Measuring the
// run first leaves a copy loop the compiler vectorises.
std::size_t NarrowRun(const char16_t* text, std::size_t count, char* out) {
  std::size_t n = 0;
  while (n < count && Narrows(text[n])) ++n;
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<char>(static_cast<unsigned char>(text[i]));
  return n;
}

// Collects the narrowed bytes of one message; a message longer than the
// chunk goes out in several pieces rather than being cut.
class Narrower {
 public:
  explicit Narrower(Platform& platform) : platform_(platform) {}
  ~Narrower() { Flush(); }

  // False once a character cannot be narrowed: the rest of the message is dropped.
  bool Put(char16_t c) {
    if (stopped_ || c > 0xFF) {
      stopped_ = true;
      return false;
    }
    if (used_ == chunk_.size()) Flush();
    chunk_[used_++] = static_cast<char>(static_cast<unsigned char>(c));
    ++written_;
    return true;
  }
  // Puts `text`, which ends at its terminator or after `extent` characters.
  bool Put(const char16_t* text, std::size_t extent) {
    if (text == nullptr || stopped_) return !stopped_;
    // Whole runs at a time: every path of a listing passes through here.
    while (extent > 0) {
      if (used_ == chunk_.size()) Flush();
      const std::size_t room = std::min(chunk_.size() - used_, extent);
      const std::size_t n = NarrowRun(text, room, chunk_.data() + used_);
      used_ += n;
      written_ += static_cast<int>(n);
      text += n;
      if (extent != FormatArg::kUnknownExtent) extent -= n;
      if (n == room) continue;
      if (*text != 0) stopped_ = true;
      break;
    }
    return !stopped_;
  }
  bool stopped() const { return stopped_; }
  int written() const { return written_; }

 private:
  void Flush() {
    if (used_ > 0) platform_.WriteStandardOutput(chunk_.data(), used_);
    used_ = 0;
  }

  Platform& platform_;
  // Not zero-filled: only the used part is ever read, and this runs per message.
  std::array<char, 1024> chunk_;
  std::size_t used_ = 0;
  int written_ = 0;
  bool stopped_ = false;
};

void FormatNumber(Narrower& out, std::int32_t number) {
  char16_t digits[12] = {};
  int n = 0;
  // Work in the unsigned domain so INT32_MIN has a magnitude to print.
  std::uint32_t magnitude =
      number < 0 ? 0u - static_cast<std::uint32_t>(number) : static_cast<std::uint32_t>(number);
  do {
    digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) out.Put(u'-');
  while (n > 0 && out.Put(digits[--n])) {
  }
}

}  // namespace

int Console::Write(const char16_t* format, const FormatArg* args, std::size_t count) {
  Narrower out(platform_);
  const FormatArg* next = args;
  const FormatArg* const end = args + count;
  for (const char16_t* p = format; *p != 0 && !out.stopped(); ++p) {
    if (*p != u'%' || (p[1] != u's' && p[1] != u'd')) {
      out.Put(*p);
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

std::size_t WidenText(char16_t* destination, const char* source, std::size_t max_count) {
  std::size_t stored = 0;
  while (stored < max_count) {
    const unsigned char byte = static_cast<unsigned char>(source[stored]);
    destination[stored++] = byte;
    if (byte == 0) break;
  }
  return stored;
}

}  // namespace corvane
