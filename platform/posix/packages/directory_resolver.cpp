#include "platform/posix/packages/directory_resolver.h"

#include <sys/stat.h>

#include "platform/posix/lexical_path.h"

namespace corvane::posix {
namespace {

std::string Folded(std::string_view path) {
  std::string folded = FoldPath(path);
  while (!folded.empty() && folded.back() == '/') folded.pop_back();
  return folded;
}

}  // namespace

bool DirectoryResolver::Same(std::string_view recorded, std::string_view asked) {
  // The same text names the same directory: no resolving needed for that.
  if (recorded == asked) return true;
  const std::string& real = Entry(asked).path;
  return recorded == real || Entry(recorded).path == real;
}

const DirectoryResolver::Resolved& DirectoryResolver::Entry(std::string_view directory) {
  if (directory.empty()) return root_;
  if (const auto known = cache_.find(directory); known != cache_.end()) return known->second;

  Resolved resolved{std::string(), false};
  if (IsPlainPath(directory)) {
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
