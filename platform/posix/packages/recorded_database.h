// What every package format's database shares once its records can be
// walked: the failure that answers every later question, the index of
// names that answers many questions, and the sorted listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/posix/packages/directory_resolver.h"
#include "platform/posix/packages/name_index.h"
#include "platform/posix/packages/package_database.h"
#include "platform/posix/packages/recorded_files.h"

namespace corvane::posix {

class RecordedDatabase : public PackageDatabase {
 public:
  std::uint32_t Listed(std::uint32_t number, std::size_t limit, ListedPath* path) final;

 protected:
  using AddFile = std::function<void(const ListedPath&)>;

  // Opens the records: kErrorSuccess or the failure. Called once, at the
  // first question.
  virtual std::uint32_t OpenRecords() = 0;
  // Calls `add(file)` with each protected file the records hold:
  // kErrorSuccess or the failure to read them.
  virtual std::uint32_t WalkRecords(const AddFile& add) = 0;

  // Opens the records at the first call; kErrorSuccess, or the failure of
  // this call or of an earlier one.
  std::uint32_t Open();
  // Records `error` as the answer to every later question, and returns it.
  std::uint32_t Fail(std::uint32_t error);
  // Whether the `asked` path is recorded protected, from an index of every
  // recorded name made at the first call: kErrorSuccess, kErrorFileNotFound
  // or the failure to read the records.
  std::uint32_t QueryIndexed(const ListedPath& asked);
  // Makes that index, if not yet made: kErrorSuccess or the failure.
  std::uint32_t Index();
  bool indexed() const { return built_; }

  DirectoryResolver resolver_;

 private:
  bool opened_ = false;
  std::uint32_t failure_ = kNoFailure;
  static constexpr std::uint32_t kNoFailure = ~std::uint32_t{0};

  bool built_ = false;
  NameIndex names_;

  bool listed_ = false;
  RecordedFiles files_;
};

}  // namespace corvane::posix
