// Paths by their text: folding, consulting the file system only through
// the caller, and the one call that resolves a path on the file system.
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

// True when `path` is absolute with no empty, "." or ".." component and no
// trailing '/': FoldPath leaves it as it is, and its parent is its text
// before the last '/'.
bool IsPlainPath(std::string_view path);

// realpath() of `path` in *real, with the root as "" so that "/" and a
// name join to a path; false when it fails.
bool RealPath(const std::string& path, std::string* real);

}  // namespace corvane::posix
