// The package database of the system the program runs on: the first of
// several whose records the system keeps, picked at the first question.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/posix/packages/package_database.h"

namespace corvane::posix {

class ChosenDatabase final : public PackageDatabase {
 public:
  struct Candidate {
    bool (*present)();               // whether the system keeps these records
    PackageDatabase& (*database)();  // made when it is picked
  };
  // `candidates` in order of preference, living as long as this. With none
  // present, every question is answered 1060.
  explicit ChosenDatabase(std::span<const Candidate> candidates) : candidates_(candidates) {}

  std::uint32_t Query(std::string_view path, bool many) override;
  std::uint32_t Listed(std::uint32_t number, std::size_t limit, ListedPath* path) override;

 private:
  // The picked database, or nullptr when none is present.
  PackageDatabase* Chosen();

  std::span<const Candidate> candidates_;
  bool picked_ = false;
  PackageDatabase* chosen_ = nullptr;
};

// The system's database: dpkg's when /var/lib/dpkg/info holds entries or
// cannot be examined, else rpm's (where the build has rpm support) when the
// directory rpm's configuration names for it (%_dbpath) exists, else none.
PackageDatabase& SystemPackageDatabase();

}  // namespace corvane::posix
