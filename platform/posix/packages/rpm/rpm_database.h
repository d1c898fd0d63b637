// The protection service on a system managed by rpm: a file is protected
// when an installed package records it, installed, as a regular file with a
// digest that is neither %config nor %ghost (what rpm verifies and would put
// back unchanged). Of several packages recording one path, any one will do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/posix/packages/recorded_database.h"
#include "platform/posix/packages/rpm/rpm_library.h"

namespace corvane::posix {

class RpmDatabase final : public RecordedDatabase {
 public:
  // The absolute `directory` holds the database; empty for the one rpm's configuration names
  // (%_dbpath). Nothing is read before the first question. A failure to read it answers every later
  // question: 5 when the directory may not be read, 1060 when there is none, 1392 when librpm
  // cannot read what is there, 8 when memory runs out.
  explicit RpmDatabase(std::string directory = {})
      : RecordedDatabase(/*lone_searches_repeat=*/true), directory_(std::move(directory)) {}

  // The directory rpm's configuration names, or empty when librpm or it cannot be read.
  static std::string ConfiguredDirectory();

 private:
  std::uint32_t OpenRecords() override;
  std::uint32_t WalkRecords(RecordedFiles& files) override;
  // Reads only the packages rpm's index of last components gives for the path (librpm matches
  // directories by device and inode, so every file RecordedDatabase compares as the same is among
  // them). Once questions about one directory have cost as many packages as record files in it, its
  // files are read once and asked first.
  std::uint32_t SearchAlone(std::string_view path, const ListedPath& asked,
                            const VisitFile& visit) override;
  // Calls `add(file)` for each protected file of each package `index` gives for `key` (all for
  // RPMDBI_PACKAGES and no key): kErrorSuccess, or 1392 when librpm met an error on the way.
  template <typename Add>
  std::uint32_t WalkFiles(rpmDbiTagVal index, std::string_view key, const Add& add);
  // Makes `directory` the one whose questions are counted and whose files
  // are read, once there have been as many questions as packages to read.
  std::uint32_t CountQuestion(std::string_view directory);

  // The directory lone questions asked about last: how often, the texts rpm may record it under,
  // how many packages record files under those, and, once read, its protected files by name.
  struct Recent {
    std::string directory;
    std::uint32_t questions = 0;
    std::vector<std::string> forms;
    std::size_t packages = 0;
    bool read = false;
    std::unordered_multimap<std::string, std::string, TextHash, std::equal_to<>> files;
  };
  Recent recent_;
  std::string directory_;
  rpm::Transaction transaction_;  // none for a directory without a database
};

}  // namespace corvane::posix
