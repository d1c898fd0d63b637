// The files a package database records, held for listing them in byte
// order: each directory's text once, and per file its name and directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/posix/packages/directory_table.h"
#include "platform/posix/packages/large_pages.h"
#include "platform/posix/packages/package_database.h"

namespace corvane::posix {

class RecordedFiles {
 public:
  // Records the file `name` (not empty) in the absolute `directory`.
  void Add(const ListedPath& path);

  // Makes Listed answer: every recorded path shorter than `limit` bytes
  // once, in byte order. Call once, when every file is added.
  void SortListing(std::size_t limit);
  // Entry `number` of the listing in *path; false past its end.
  bool Listed(std::uint32_t number, ListedPath* path) const;

 private:
  struct File {
    const char* name;
    std::uint32_t size;
    std::uint32_t directory;
  };

  DirectoryTable directories_;
  std::vector<File, LargeAllocator<File>> files_;
  std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> listing_;  // file numbers, in order
};

}  // namespace corvane::posix
