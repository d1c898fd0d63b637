// Query mode: for every name or pattern, each matching entry's full long
// path and whether the protection service guards it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "platform/platform.h"
#include "report/console.h"
#include "report/error_report.h"

namespace corvane {

// Run status when no match was examined in the whole run.
inline constexpr std::uint32_t kNoMatchExamined = 13;

class QueryMode {
 public:
  QueryMode(Platform& platform, Console& console, ErrorReport& errors)
      : platform_(platform), console_(console), errors_(errors) {
    std::fill(std::begin(input_), std::end(input_), u'\0');
    std::fill(std::begin(full_path_), std::end(full_path_), u'\0');
    std::fill(std::begin(prefix_), std::end(prefix_), u'\0');
    find_ = {};
  }

  // Prints one result line per match of each of `names`, then a lone line
  // break. Returns the status of the last match examined: 0 when its long
  // path was not obtained, the long path's length when protected, 2 when not
  // protected, the service's code when asking failed; 13 when none was.
  // Once a write to standard output has failed, examines nothing more.
  std::uint32_t Run(int count, const char16_t* const* names);

 private:
  void QueryName(const char16_t* name);
  // Examines the match that the prefix joined with `name` names.
  void ExamineMatch(const char16_t* name);

  Platform& platform_;
  Console& console_;
  ErrorReport& errors_;
  std::uint32_t status_ = kNoMatchExamined;
  // The run's buffers, of fixed size and zero-filled when a query mode is
  // made. Static, so that none sits on the stack (a path buffer is 8 KiB on
  // Linux), and each apart, so that a sanitizer's bounds lie between them;
  // one query mode runs at a time.
  static inline char16_t input_[kPathBufferSize];
  static inline char16_t full_path_[kPathBufferSize];
  static inline char16_t prefix_[kPathBufferSize];
  static inline FindData find_;
};

}  // namespace corvane
