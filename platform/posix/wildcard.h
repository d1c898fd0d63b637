// The wildcard matching of a directory search's last component.
#pragma once

#include <string_view>

namespace corvane::posix {

// True when all of `name` matches `pattern`: '*' stands for any run of bytes
// (the empty one included), '?' for exactly one byte, and every other byte,
// '[' and ']' among them, for itself alone; case counts. Takes time at most
// proportional to the product of the two lengths, whatever the pattern.
bool MatchWildcard(std::string_view pattern, std::string_view name);

// True when `component` holds a '*' or a '?'.
bool HasWildcard(std::string_view component);

}  // namespace corvane::posix
