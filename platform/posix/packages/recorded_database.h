// What every package format's database shares once its records can be
// walked: the checks and comparison that decide an answer, the failure that
// answers every later question, and the one store of recorded files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/platform.h"
#include "platform/posix/packages/package_database.h"
#include "platform/posix/packages/recorded_files.h"

namespace corvane::posix {

// Directories as symbolic links resolve them, each worked out at most once.
class DirectoryResolver {
 public:
  // Whether a file's `recorded` directory and the `asked` one are one through links.
  bool Same(std::string_view recorded, std::string_view asked);

 private:
  struct Resolved {
    std::string path;  // "" for the root, so that "/" and a name join to a path
    bool real;         // false when resolving failed
  };
  // The absolute `directory` ("" is the root) as realpath() resolves it, or
  // when that fails (it does not exist, say) its text folded, without a
  // trailing '/'. A directory whose parent was resolved costs one lstat.
  const Resolved& Entry(std::string_view directory);

  std::unordered_map<std::string, Resolved, TextHash, std::equal_to<>> cache_;
  const Resolved root_{"", true};
};

class RecordedDatabase : public PackageDatabase {
 public:
  std::uint32_t Query(std::string_view path, bool many) final;
  std::uint32_t Listed(std::uint32_t number, std::size_t limit, ListedPath* path) final;

 protected:
  using VisitFile = std::function<bool(const ListedPath&)>;

  // With `lone_searches_repeat`, every question asked alone before the index is made is searched
  // for alone (the format's own index makes that cheap); otherwise only the first (a search reads
  // the records up to the answer, so a second question makes the whole index pay).
  explicit RecordedDatabase(bool lone_searches_repeat)
      : lone_searches_repeat_(lone_searches_repeat) {}

  // Opens the records, once, at the first question: kErrorSuccess or the failure.
  virtual std::uint32_t OpenRecords() = 0;
  // Adds each protected file the records hold to `files`: kErrorSuccess or the failure.
  virtual std::uint32_t WalkRecords(RecordedFiles& files) = 0;
  // Calls `visit(file)` with protected files the records hold, among them
  // every one recorded as the name of `asked` (`path` split), until it
  // returns true: kErrorSuccess or the failure to read the records.
  virtual std::uint32_t SearchAlone(std::string_view path, const ListedPath& asked,
                                    const VisitFile& visit) = 0;

 private:
  // Opens the records at the first call: kErrorSuccess or the failure, kept for every later one.
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
