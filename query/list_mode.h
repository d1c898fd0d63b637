// List mode: the protection service's whole list, then a count line.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "report/console.h"
#include "report/error_report.h"

namespace corvane {

class ListMode {
 public:
  ListMode(Platform& platform, Console& console, ErrorReport& errors)
      : platform_(platform), console_(console), errors_(errors) {
    record_ = {};
  }

  // Prints every entry of the list from its start. When the walk ends with
  // code 0 or 18, prints the count line; on any other code, the error
  // report instead. Returns the code that ended the walk, which a failed
  // write to standard output does at once, with neither.
  std::uint32_t Run();

 private:
  Platform& platform_;
  Console& console_;
  ErrorReport& errors_;
  // The run's record, zero-filled when a list mode is made; static, so that
  // it is not on the stack (8 KiB on Linux). One list mode runs at a time.
  static inline ProtectedFileData record_;
};

}  // namespace corvane
