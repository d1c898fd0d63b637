#include "platform/posix/lexical_path.h"

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

}  // namespace corvane::posix
