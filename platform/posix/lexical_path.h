// Path folding by text alone, never consulting the file system.
#pragma once

#include <string>
#include <string_view>

namespace corvane::posix {

// The absolute form of `path` by its text: runs of '/' count as one, "."
// components drop out and ".." removes the component before it ("/.." is
// "/"). A trailing '/' stays when `path` ends with one, unless the result is
// the root. A path that does not start with '/' is folded as if it did.
std::string FoldPath(std::string_view path);

}  // namespace corvane::posix
