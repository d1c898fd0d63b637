#include "platform/posix/packages/package_database.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "platform/posix/error_codes.h"
#include "platform/posix/packages/dpkg/dpkg_database.h"
#include "platform/posix/posix_handles.h"
#if CORVANE_RPM
#include "platform/posix/packages/rpm/rpm_database.h"
#endif

namespace corvane::posix {
namespace {

// Present, even when it may not be read: that database then says why it cannot answer.
bool Exists(const std::string& path) {
  struct stat status;
  return !path.empty() && stat(path.c_str(), &status) == 0;
}

// dpkg's records are there unless info/ is missing or empty (as on an rpm
// system with the dpkg tool); one that cannot be examined is there too.
bool DpkgPresent() {
  const char* const info = "/var/lib/dpkg/info";
  const UniqueDir entries(opendir(info));
  if (!entries.valid()) return errno == EACCES || Exists(info);
  errno = 0;
  for (const dirent* entry; (entry = readdir(entries.get())) != nullptr;)
    if (std::string_view(entry->d_name) != "." && std::string_view(entry->d_name) != "..")
      return true;
  return errno != 0;
}

constexpr ChosenDatabase::Candidate kSystemCandidates[] = {
    {DpkgPresent,
     []() -> PackageDatabase& {
       static DpkgDatabase database("/var/lib/dpkg");
       return database;
     }},
#if CORVANE_RPM
    {[] { return Exists(RpmDatabase::ConfiguredDirectory()); },
     []() -> PackageDatabase& {
       static RpmDatabase database;
       return database;
     }},
#endif
};

}  // namespace

PackageDatabase* ChosenDatabase::Chosen() {
  if (!picked_) {
    picked_ = true;
    for (const Candidate& candidate : candidates_) {
      if (candidate.present()) {
        chosen_ = &candidate.database();
        break;
      }
    }
  }
  return chosen_;
}

std::uint32_t ChosenDatabase::Query(std::string_view path, bool many) {
  PackageDatabase* const database = Chosen();
  return database == nullptr ? kErrorServiceDoesNotExist : database->Query(path, many);
}

std::uint32_t ChosenDatabase::Listed(std::uint32_t number, std::size_t limit, ListedPath* path) {
  PackageDatabase* const database = Chosen();
  return database == nullptr ? kErrorServiceDoesNotExist : database->Listed(number, limit, path);
}

PackageDatabase& SystemPackageDatabase() {
  static ChosenDatabase database(kSystemCandidates);
  return database;
}

}  // namespace corvane::posix
