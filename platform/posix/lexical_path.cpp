#include "platform/posix/lexical_path.h"

#include <vector>

namespace corvane::posix {

std::string FoldPath(std::string_view path) {
  std::vector<std::string_view> kept;
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(start, end - start);
    if (component == "..") {
      if (!kept.empty()) kept.pop_back();
    } else if (!component.empty() && component != ".") {
      kept.push_back(component);
    }
    start = end + 1;
  }

  std::string folded;
  for (std::string_view component : kept) {
    folded += '/';
    folded += component;
  }
  if (folded.empty()) return "/";
  if (path.back() == '/') folded += '/';
  return folded;
}

}  // namespace corvane::posix
