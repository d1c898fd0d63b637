// Query mode: for every name or pattern, each matching entry's full long
// path and whether the protection service guards it.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "report/console.h"
#include "report/error_report.h"
#include "report/guarded.h"

namespace corvane {

// Run status when no match was examined in the whole run.
inline constexpr std::uint32_t kNoMatchExamined = 13;

class QueryMode {
 public:
  QueryMode(Platform& platform, Console& console, ErrorReport& errors)
      : platform_(platform), console_(console), errors_(errors) {}

  // Prints one result line per match of each of `names`, then a lone line
  // break. Returns the status of the last match examined: 0 when its long
  // path was not obtained, the long path's length when protected, 2 when not
  // protected, the service's code when asking failed; 13 when none was.
  std::uint32_t Run(int count, const char16_t* const* names);

  // True while nothing has written past the ends of the run's buffers.
  bool BuffersIntact() const {
    return input_.intact() && full_path_.intact() && prefix_.intact() && find_.intact();
  }

 private:
  void QueryName(const char16_t* name);
  // Examines the match that the prefix joined with `name` names.
  void ExamineMatch(const char16_t* name);

  Platform& platform_;
  Console& console_;
  ErrorReport& errors_;
  std::uint32_t status_ = kNoMatchExamined;
  Guarded<char16_t[kPathBufferSize]> input_;
  Guarded<char16_t[kPathBufferSize]> full_path_;
  Guarded<char16_t[kPathBufferSize]> prefix_;
  Guarded<FindData> find_;
};

}  // namespace corvane
