// List mode: the protection service's whole list, then a count line.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "report/console.h"
#include "report/error_report.h"
#include "report/guarded.h"

namespace corvane {

class ListMode {
 public:
  ListMode(Platform& platform, Console& console, ErrorReport& errors)
      : platform_(platform), console_(console), errors_(errors) {}

  // Prints every entry of the list from its start. When the walk ends with
  // code 0 or 18, prints the count line; on any other code, the error
  // report instead. Returns the code that ended the walk.
  std::uint32_t Run();

  // True while nothing has written past the ends of the record.
  bool BuffersIntact() const { return record_.intact(); }

 private:
  Platform& platform_;
  Console& console_;
  ErrorReport& errors_;
  Guarded<ProtectedFileData> record_;
};

}  // namespace corvane
