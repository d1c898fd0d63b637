// The one way an unexpected platform error reaches the user: a beep, the
// error number and the system's own text for it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "platform/platform.h"
#include "report/console.h"

namespace corvane {

inline constexpr std::uint32_t kBeepFrequency = 443;
inline constexpr std::uint32_t kBeepDurationMs = 200;
// Codes in this range have their text in the network message module.
inline constexpr std::uint32_t kNetworkMessageFirst = 2100;  // NERR_BASE
inline constexpr std::uint32_t kNetworkMessageLast = 2999;   // MAX_NERR
inline constexpr std::size_t kMessageBufferSize = 512;

class ErrorReport {
 public:
  ErrorReport(Platform& platform, Console& console) : platform_(platform), console_(console) {
    std::fill(std::begin(message_), std::end(message_), u'\0');
  }

  // Beeps, then prints "System error N has occurred." and the message text
  // for `code` (nothing after the two line breaks when there is none). The
  // message buffer keeps that text until the next report. Does nothing once
  // a write to standard output has failed.
  void Report(std::uint32_t code);

  const char16_t* message() const { return message_; }

 private:
  // Fills message_ with the system's text for `code`, cut to fit.
  void LookUpMessage(std::uint32_t code);

  Platform& platform_;
  Console& console_;
  // The run's message text, zero-filled when an error report is made;
  // static, as the modes' buffers are. One error report serves a run.
  static inline char16_t message_[kMessageBufferSize];
};

}  // namespace corvane
