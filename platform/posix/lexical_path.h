// Path folding by text, consulting the file system only through the caller.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace corvane::posix {

// The absolute form of `path` by its text: runs of '/' count as one, "."
// components drop out and ".." removes the component before it ("/.." is
// "/"). A trailing '/' stays when `path` ends with one, unless the result is
// the root. A path that does not start with '/' is folded as if it did.
// With `parent`, each ".." after a component first asks parent(folded), with
// the path folded so far (no trailing '/'): when it returns true it has put
// in `folded` the directory that ".." names ("" for the root), and folding
// goes on from there.
std::string FoldPath(std::string_view path,
                     const std::function<bool(std::string& folded)>& parent = {});

}  // namespace corvane::posix
