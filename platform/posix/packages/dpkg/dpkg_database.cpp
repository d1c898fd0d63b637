#include "platform/posix/packages/dpkg/dpkg_database.h"

#include <new>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace corvane::posix {

std::uint32_t DpkgDatabase::Open() {
  if (failure_ != kNoFailure) return failure_;
  if (!opened_) {
    if (const std::uint32_t error = lists_.Open(); error != kErrorSuccess) return Fail(error);
    opened_ = true;
  }
  return kErrorSuccess;
}

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
    if (!built_) {
      const std::uint32_t error = WalkFiles([&](const ListedPath& at) { names_.Add(at); });
      if (error != kErrorSuccess) return Fail(error);
      names_.Build();
      built_ = true;
    }
    if (!askable) return kErrorFileNotFound;
    const bool found = names_.ForEachDirectoryOf(asked.name, [&](std::string_view directory) {
      return resolver_.Same(directory, asked.directory);
    });
    return found ? kErrorSuccess : kErrorFileNotFound;
  } catch (const std::bad_alloc&) {
    return Fail(kErrorNotEnoughMemory);
  }
}

std::uint32_t DpkgDatabase::Listed(std::uint32_t number, std::size_t limit, ListedPath* path) {
  try {
    if (const std::uint32_t error = Open(); error != kErrorSuccess) return error;
    if (!listed_) {
      const std::uint32_t error = WalkFiles([&](const ListedPath& at) { files_.Add(at); });
      if (error != kErrorSuccess) return Fail(error);
      files_.SortListing(limit);
      listed_ = true;
    }
    return files_.Listed(number, path) ? kErrorSuccess : kErrorNoMoreFiles;
  } catch (const std::bad_alloc&) {
    return Fail(kErrorNotEnoughMemory);
  }
}

std::uint32_t DpkgDatabase::Fail(std::uint32_t error) {
  failure_ = error;
  return error;
}

}  // namespace corvane::posix
