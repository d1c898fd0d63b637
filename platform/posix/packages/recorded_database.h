// What every package format's database shares once its records can be
// walked: the checks and comparison that decide an answer, the failure that
// answers every later question, and the one store of recorded files that
// the name index and the listing read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

#include "platform/platform.h"
#include "platform/posix/packages/directory_resolver.h"
#include "platform/posix/packages/name_index.h"
#include "platform/posix/packages/package_database.h"
#include "platform/posix/packages/recorded_files.h"

namespace corvane::posix {

class RecordedDatabase : public PackageDatabase {
 public:
  std::uint32_t Query(std::string_view path, bool many) final;
  std::uint32_t Listed(std::uint32_t number, std::size_t limit, ListedPath* path) final;

 protected:
  using VisitFile = std::function<bool(const ListedPath&)>;

  // With `lone_searches_repeat`, every question asked alone before the
  // index is made is searched for alone (the format's own index makes that
  // cheap); otherwise only the first (a search reads the records up to the
  // answer, so a second question makes the whole index pay).
  explicit RecordedDatabase(bool lone_searches_repeat)
      : lone_searches_repeat_(lone_searches_repeat) {}

  // Opens the records, once, at the first question: kErrorSuccess or the failure.
  virtual std::uint32_t OpenRecords() = 0;
  // Adds each protected file the records hold to `files`: kErrorSuccess or
  // the failure to read them.
  virtual std::uint32_t WalkRecords(RecordedFiles& files) = 0;
  // Calls `visit(file)` with protected files the records hold, among them
  // every one recorded as the name of `asked` (`path` split), until it
  // returns true: kErrorSuccess or the failure to read the records.
  virtual std::uint32_t SearchAlone(std::string_view path, const ListedPath& asked,
                                    const VisitFile& visit) = 0;

 private:
  // Opens the records at the first call: kErrorSuccess, or the failure
  // that answers every question from then on.
  std::uint32_t Open();
  // Makes `error` the answer to every later question, and returns it.
  std::uint32_t Fail(std::uint32_t error) { return failure_ = error; }
  // Walks the records into the store at the first call: kErrorSuccess or the failure.
  std::uint32_t Store();

  const bool lone_searches_repeat_;
  bool opened_ = false;
  bool asked_ = false;  // whether a question came before
  std::uint32_t failure_ = kErrorSuccess;

  DirectoryResolver resolver_;
  bool stored_ = false;
  RecordedFiles files_;
  bool indexed_ = false;
  NameIndex<> names_;
  bool listed_ = false;
};

}  // namespace corvane::posix
