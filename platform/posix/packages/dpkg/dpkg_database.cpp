#include "platform/posix/packages/dpkg/dpkg_database.h"

#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace corvane::posix {

std::uint32_t DpkgDatabase::Query(std::string_view path, bool many) {
  try {
    if (const std::uint32_t error = Open(); error != kErrorSuccess) return error;
    // Only absolute paths are recorded, and no line holds a '\n' or a zero byte.
    const ListedPath asked = SplitPath(path);
    const bool askable = !path.empty() && path[0] == '/' && !asked.name.empty() &&
                         path.find_first_of(std::string_view("\n\0", 2)) == std::string_view::npos;
    // A lone question is answered by searching the lists for its name, up to
    // the list that answers it: no index is made that no question would use.
    if (!asked_ && !many && askable) {
      asked_ = true;
      const std::vector<std::string> endings = lists_.Endings(asked.name);
      bool found = false;
      std::size_t from = 0;
      const std::uint32_t error = lists_.Walk(
          from,
          [&](std::string_view line_path, std::size_t list) {
            const ListedPath at = SplitPath(lists_.Land(line_path, list));
            found =
                found || (at.name == asked.name && resolver_.Same(at.directory, asked.directory));
            return found;
          },
          endings, /*keep=*/true);
      if (error != kErrorSuccess) return Fail(error);
      return found ? kErrorSuccess : kErrorFileNotFound;
    }
    asked_ = true;
    if (!askable) {
      const std::uint32_t error = Index();
      return error != kErrorSuccess ? error : kErrorFileNotFound;
    }
    return QueryIndexed(asked);
  } catch (const std::bad_alloc&) {
    return Fail(kErrorNotEnoughMemory);
  }
}

}  // namespace corvane::posix
