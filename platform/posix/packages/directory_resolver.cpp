#include "platform/posix/packages/directory_resolver.h"

#include <sys/stat.h>

#include <cstdlib>
#include <memory>

#include "platform/posix/lexical_path.h"

namespace corvane::posix {
namespace {

// True when `path` is absolute with no empty, "." or ".." component, so
// that its parent is its text before the last '/'.
bool IsPlain(std::string_view path) {
  if (path.empty() || path[0] != '/') return false;
  std::size_t start = 1;
  for (;;) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(start, end - start);
    if (component.empty() || component == "." || component == "..") return false;
    if (end == path.size()) return true;
    start = end + 1;
  }
}

std::string Folded(std::string_view path) {
  std::string folded = FoldPath(path);
  while (!folded.empty() && folded.back() == '/') folded.pop_back();
  return folded;
}

// realpath() of `path` with the root as "", or nothing when it fails.
bool RealPath(const std::string& path, std::string* real) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                             &std::free);
  if (resolved == nullptr) return false;
  *real = resolved.get();
  if (*real == "/") real->clear();
  return true;
}

}  // namespace

const std::string& DirectoryResolver::Resolve(std::string_view directory) {
  return Entry(directory).path;
}

bool DirectoryResolver::Same(std::string_view recorded, std::string_view asked) {
  // The same text names the same directory: no resolving needed for that.
  if (recorded == asked) return true;
  const std::string& real = Resolve(asked);
  return recorded == real || Resolve(recorded) == real;
}

const DirectoryResolver::Resolved& DirectoryResolver::Entry(std::string_view directory) {
  if (directory.empty()) return root_;
  if (const auto known = cache_.find(directory); known != cache_.end()) return known->second;

  Resolved resolved{std::string(), false};
  if (IsPlain(directory)) {
    const std::size_t slash = directory.rfind('/');
    const Resolved& parent = Entry(directory.substr(0, slash));
    if (parent.real) {
      std::string joined = parent.path;
      joined.append(directory.substr(slash));
      struct stat status;
      if (lstat(joined.c_str(), &status) == 0) {
        if (!S_ISLNK(status.st_mode))
          resolved = {std::move(joined), true};
        else
          resolved.real = RealPath(joined, &resolved.path);
      }
    }
  } else {
    resolved.real = RealPath(std::string(directory), &resolved.path);
  }
  if (!resolved.real) resolved.path = Folded(directory);
  return cache_.emplace(std::string(directory), std::move(resolved)).first->second;
}

}  // namespace corvane::posix
