#include "report/error_report.h"

namespace corvane {

void ErrorReport::Report(std::uint32_t code) {
  platform_.Beep(kBeepFrequency, kBeepDurationMs);
  LookUpMessage(code);
  console_.Write(u"\n\nSystem error %d has occurred.", {static_cast<std::int32_t>(code)});
  console_.Write(u"\n\n%s", {message_.value});
}

void ErrorReport::LookUpMessage(std::uint32_t code) {
  Module module = nullptr;
  if (code >= kNetworkMessageFirst && code <= kNetworkMessageLast)
    module = platform_.LoadLibraryExW(u"netmsg.dll", nullptr, kLoadLibraryAsDatafile);

  std::uint32_t flags =
      kFormatMessageAllocateBuffer | kFormatMessageIgnoreInserts | kFormatMessageFromSystem;
  if (module != nullptr) flags |= kFormatMessageFromHmodule;
  char* text = nullptr;
  const std::uint32_t length = platform_.FormatMessageA(
      flags, module, code, kLangNeutralSublangDefault, reinterpret_cast<char*>(&text), 0, nullptr);

  std::size_t stored = 0;
  if (length != 0 && text != nullptr) {
    // Leave room for the terminator: longer texts are cut, never overrun.
    const std::size_t wanted = length < kMessageBufferSize - 1 ? length : kMessageBufferSize - 1;
    stored = WidenText(message_.value, text, wanted);
    // A zero byte inside the text was stored by the widening and ends it there.
    if (stored > 0 && message_.value[stored - 1] == 0) --stored;
    platform_.LocalFree(text);
  }
  message_.value[stored] = 0;

  if (module != nullptr) platform_.FreeLibrary(module);
}

}  // namespace corvane
