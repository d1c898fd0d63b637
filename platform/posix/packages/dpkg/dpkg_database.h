// The protection service on a system managed by dpkg: a file is protected
// when an installed package's md5sums list records it, at the place where
// the diversions put it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/posix/packages/dpkg/dpkg_lists.h"
#include "platform/posix/packages/recorded_database.h"

namespace corvane::posix {

class DpkgDatabase final : public RecordedDatabase {
 public:
  // `directory` is the database's root, holding info/ and diversions
  // ("/var/lib/dpkg" on the system). Nothing is read, and nothing is
  // allocated, before the first question. A first query that is not one
  // of many reads the lists only up to the end of the list that answers it,
  // and indexes nothing; any other indexes them all. A failure to read the
  // database (running out of memory among them, as 8) answers every later
  // question.
  explicit DpkgDatabase(std::string directory)
      : RecordedDatabase(/*lone_searches_repeat=*/false), lists_(std::move(directory)) {}

 private:
  std::uint32_t OpenRecords() override { return lists_.Open(); }
  // Walks every list, a second thread reading ahead, giving where each
  // recorded file lands. A path ending in '/', or diverted to nowhere,
  // names no file.
  std::uint32_t WalkRecords(const AddFile& add) override {
    return lists_.Walk(
        [&](std::string_view path, std::size_t list) {
          if (const ListedPath at = SplitPath(lists_.Land(path, list)); !at.name.empty()) add(at);
          return false;
        },
        {}, /*keep=*/false, /*ahead=*/true);
  }
  // Reads the lists up to the end of the one that answers, parsing only the
  // lines that end in a name that lands at the asked one, and keeps them
  // open for the walk a second question makes.
  std::uint32_t SearchAlone(std::string_view, const ListedPath& asked,
                            const VisitFile& visit) override {
    return lists_.Walk(
        [&](std::string_view path, std::size_t list) {
          const ListedPath at = SplitPath(lists_.Land(path, list));
          return !at.name.empty() && visit(at);
        },
        lists_.Endings(asked.name), /*keep=*/true, /*ahead=*/false);
  }

  DpkgLists lists_;
};

}  // namespace corvane::posix
