// The protection service on a system managed by dpkg: a file is protected
// when an installed package's md5sums list records it, at the place where
// the diversions put it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/posix/packages/directory_resolver.h"
#include "platform/posix/packages/dpkg/dpkg_lists.h"
#include "platform/posix/packages/name_index.h"
#include "platform/posix/packages/package_database.h"
#include "platform/posix/packages/recorded_files.h"

namespace corvane::posix {

class DpkgDatabase final : public PackageDatabase {
 public:
  // `directory` is the database's root, holding info/ and diversions
  // ("/var/lib/dpkg" on the system). Nothing is read, and nothing is
  // allocated, before the first question. A first query that is not one
  // of many reads the lists only up to the end of the list that answers it,
  // and indexes nothing; any other indexes them all. A failure to read the database
  // (running out of memory among them, as 8) answers every later question.
  explicit DpkgDatabase(std::string directory) : lists_(std::move(directory)) {}

  std::uint32_t Query(std::string_view path, bool many) override;
  std::uint32_t Listed(std::uint32_t number, std::size_t limit, ListedPath* path) override;

 private:
  // Opens the database at the first question: kErrorSuccess or the failure.
  std::uint32_t Open();
  // Walks every list (DpkgLists::WalkAll), calling `add(file)` with where
  // each recorded file lands. A path ending in '/', or diverted to
  // nowhere, names no file.
  template <typename Add>
  std::uint32_t WalkFiles(Add add) {
    return lists_.WalkAll([&](std::string_view path, std::size_t list) {
      if (const ListedPath at = SplitPath(lists_.Land(path, list)); !at.name.empty()) add(at);
    });
  }
  // Records `error` as the answer to every later question.
  std::uint32_t Fail(std::uint32_t error);

  DpkgLists lists_;
  bool opened_ = false;
  std::uint32_t failure_ = kNoFailure;
  static constexpr std::uint32_t kNoFailure = ~std::uint32_t{0};

  bool asked_ = false;  // whether a query came before
  bool built_ = false;
  NameIndex names_;
  DirectoryResolver resolver_;

  bool listed_ = false;
  RecordedFiles files_;
};

}  // namespace corvane::posix
