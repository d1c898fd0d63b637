#include "platform/posix/packages/recorded_database.h"

#include <new>

#include "platform/platform.h"

namespace corvane::posix {

std::uint32_t RecordedDatabase::Open() {
  if (failure_ != kNoFailure) return failure_;
  if (!opened_) {
    if (const std::uint32_t error = OpenRecords(); error != kErrorSuccess) return Fail(error);
    opened_ = true;
  }
  return kErrorSuccess;
}

std::uint32_t RecordedDatabase::Fail(std::uint32_t error) {
  failure_ = error;
  return error;
}

std::uint32_t RecordedDatabase::Index() {
  if (!built_) {
    const std::uint32_t error = WalkRecords([&](const ListedPath& at) { names_.Add(at); });
    if (error != kErrorSuccess) return Fail(error);
    names_.Build();
    built_ = true;
  }
  return kErrorSuccess;
}

std::uint32_t RecordedDatabase::QueryIndexed(const ListedPath& asked) {
  if (const std::uint32_t error = Index(); error != kErrorSuccess) return error;
  const bool found = names_.ForEachDirectoryOf(asked.name, [&](std::string_view directory) {
    return resolver_.Same(directory, asked.directory);
  });
  return found ? kErrorSuccess : kErrorFileNotFound;
}

std::uint32_t RecordedDatabase::Listed(std::uint32_t number, std::size_t limit, ListedPath* path) {
  try {
    if (const std::uint32_t error = Open(); error != kErrorSuccess) return error;
    if (!listed_) {
      const std::uint32_t error = WalkRecords([&](const ListedPath& at) { files_.Add(at); });
      if (error != kErrorSuccess) return Fail(error);
      files_.SortListing(limit);
      listed_ = true;
    }
    return files_.Listed(number, path) ? kErrorSuccess : kErrorNoMoreFiles;
  } catch (const std::bad_alloc&) {
    return Fail(kErrorNotEnoughMemory);
  }
}

}  // namespace corvane::posix
