#include "platform/posix/packages/recorded_database.h"

#include <sys/stat.h>

#include <new>
#include <utility>

#include "platform/posix/lexical_path.h"

namespace corvane::posix {

bool DirectoryResolver::Same(std::string_view recorded, std::string_view asked) {
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
      if (struct stat status; lstat(joined.c_str(), &status) == 0) {
        if (!S_ISLNK(status.st_mode))
          resolved = {std::move(joined), true};
        else
          resolved.real = RealPath(joined, &resolved.path);
      }
    }
  } else {
    resolved.real = RealPath(std::string(directory), &resolved.path);
  }
  if (!resolved.real) {
    resolved.path = FoldPath(directory);
    while (!resolved.path.empty() && resolved.path.back() == '/') resolved.path.pop_back();
  }
  return cache_.emplace(std::string(directory), std::move(resolved)).first->second;
}

std::uint32_t RecordedDatabase::Open() {
  if (!opened_) {
    opened_ = true;
    failure_ = OpenRecords();
  }
  return failure_;
}

std::uint32_t RecordedDatabase::Store() {
  return std::exchange(stored_, true) ? kErrorSuccess : Fail(WalkRecords(files_));
}

std::uint32_t RecordedDatabase::Query(std::string_view path, bool many) {
  try {
    if (const std::uint32_t error = Open(); error != kErrorSuccess) return error;
    const ListedPath asked = SplitPath(path);
    // Only absolute paths of files are recorded, and none holds a zero byte.
    const bool askable = !path.empty() && path[0] == '/' && !asked.name.empty() &&
                         path.find('\0') == std::string_view::npos;
    if (askable && !many && !indexed_ && (lone_searches_repeat_ || !asked_)) {
      asked_ = true;
      bool found = false;
      // The same name, byte for byte, in the same directory as links resolve it.
      const std::uint32_t error = SearchAlone(path, asked, [&](const ListedPath& file) {
        return found = found ||
                       (file.name == asked.name && resolver_.Same(file.directory, asked.directory));
      });
      if (error != kErrorSuccess) return Fail(error);
      return found ? kErrorSuccess : kErrorFileNotFound;
    }
    asked_ = true;
    if (!indexed_) {
      if (const std::uint32_t error = Store(); error != kErrorSuccess) return error;
      names_.Build(files_);
      indexed_ = true;
    }
    const bool found =
        askable && names_.ForEachDirectoryOf(asked.name, [&](std::string_view directory) {
          return resolver_.Same(directory, asked.directory);
        });
    return found ? kErrorSuccess : kErrorFileNotFound;
  } catch (const std::bad_alloc&) {
    return Fail(kErrorNotEnoughMemory);
  }
}

std::uint32_t RecordedDatabase::Listed(std::uint32_t number, std::size_t limit, ListedPath* path) {
  try {
    if (const std::uint32_t error = Open(); error != kErrorSuccess) return error;
    if (!listed_) {
      if (const std::uint32_t error = Store(); error != kErrorSuccess) return error;
      files_.SortListing(limit);
      listed_ = true;
    }
    return files_.Listed(number, path) ? kErrorSuccess : kErrorNoMoreFiles;
  } catch (const std::bad_alloc&) {
    return Fail(kErrorNotEnoughMemory);
  }
}

}  // namespace corvane::posix
