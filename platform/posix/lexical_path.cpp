#include "platform/posix/lexical_path.h"

#include <cstdlib>
#include <memory>

namespace corvane::posix {

std::string FoldPath(std::string_view path, const std::function<bool(std::string&)>& parent) {
  std::string folded;  // without a trailing '/': "" is the root
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(start, end - start);
    if (component == "..") {
      if (!folded.empty() && !(parent && parent(folded))) folded.resize(folded.rfind('/'));
    } else if (!component.empty() && component != ".") {
      folded += '/';
      folded += component;
    }
    start = end + 1;
  }
  if (folded.empty()) return "/";
  if (path.back() == '/') folded += '/';
  return folded;
}

bool IsPlainPath(std::string_view path) {
  if (path.empty() || path[0] != '/') return false;
  for (std::size_t start = 1;;) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view component = path.substr(start, end - start);
    if (component.empty() || component == "." || component == "..") return false;
    if (end == path.size()) return true;
    start = end + 1;
  }
}

bool RealPath(const std::string& path, std::string* real) {
  const std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                             &std::free);
  if (resolved == nullptr) return false;
  *real = resolved.get();
  if (*real == "/") real->clear();
  return true;
}

}  // namespace corvane::posix
