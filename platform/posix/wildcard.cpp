#include "platform/posix/wildcard.h"

namespace corvane::posix {

bool MatchWildcard(std::string_view pattern, std::string_view name) {
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t p = 0;
  std::size_t n = 0;
  // Only the latest '*' is ever retried, taking one byte more each time: a
  // match found with it never needs an earlier star to take more, which is
  // what keeps the work polynomial.
  std::size_t star = kNone;
  std::size_t star_taken_to = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_taken_to = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (star != kNone) {
      p = star + 1;
      n = ++star_taken_to;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool HasWildcard(std::string_view component) {
  return component.find_first_of("*?") != std::string_view::npos;
}

}  // namespace corvane::posix
