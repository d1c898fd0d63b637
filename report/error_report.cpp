#include "report/error_report.h"

#include "report/local_memory.h"

namespace corvane {

void ErrorReport::Report(std::uint32_t code) {
  // Once output cannot be written, a report reaches no one: not even its beep.
  if (platform_.StandardOutputError() != kErrorSuccess) return;
  platform_.Beep(kBeepFrequency, kBeepDurationMs);
  LookUpMessage(code);
  console_.Write(u"\n\nSystem error %d has occurred.", {static_cast<std::int32_t>(code)});
  console_.Write(u"\n\n%s", {message_});
}

void ErrorReport::LookUpMessage(std::uint32_t code) {
  Module module = nullptr;
  if (code >= kNetworkMessageFirst && code <= kNetworkMessageLast)
    module = platform_.LoadLibraryExW(u"netmsg.dll", nullptr,
                                      kLoadLibraryAsDatafile | kLoadLibrarySearchSystem32);

  std::uint32_t flags =
      kFormatMessageAllocateBuffer | kFormatMessageIgnoreInserts | kFormatMessageFromSystem;
  if (module != nullptr) flags |= kFormatMessageFromHmodule;
  char* text = nullptr;
  const std::uint32_t length = platform_.FormatMessageA(
      flags, module, code, kLangNeutralSublangDefault, reinterpret_cast<char*>(&text), 0, nullptr);
  const ScopedLocal<char> held(length != 0 ? text : nullptr, {&platform_});

  int stored = 0;
  if (held.get() != nullptr) {
    // No code page makes more characters than bytes, so cutting the bytes
    // to the buffer (its terminator aside) keeps the widening inside it.
    constexpr std::uint32_t kRoom = kMessageBufferSize - 1;
    stored = platform_.MultiByteToWideChar(kCodePageAnsi, 0, text,
                                           static_cast<int>(length < kRoom ? length : kRoom),
                                           message_, static_cast<int>(kRoom));
  }
  // A failed widening stored 0: no text then, rather than what it left.
  message_[stored] = 0;

  if (module != nullptr) platform_.FreeLibrary(module);
}

}  // namespace corvane
