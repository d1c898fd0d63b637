// The dpkg database's readers (checksum lists and diversions) through the
// Platform interface, on a database made from the input: well-formed lines,
// diversion triples and raw bytes, cut anywhere. A first question and a
// later one must get the same answer, and the listing must be sorted,
// without duplicates, and protected entry by entry.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check.h"
#include "platform/posix/packages/dpkg/dpkg_database.h"
#include "platform/posix/posix_platform.h"

namespace {

using corvane::posix::DpkgDatabase;
using corvane::posix::PosixPlatform;

// The database directory of this process, removed when it exits.
struct Directory {
  Directory() {
    FUZZ_CHECK(mkdtemp(path.data()) != nullptr);
    std::filesystem::create_directories(path + "/info");
  }
  ~Directory() { std::filesystem::remove_all(path); }
  std::string path = (std::filesystem::temp_directory_path() / "corvane-fuzz-XXXXXX").string();
} root;

// An absolute path of a few components; common ones, so that paths meet
// (and /bin is an alias of /usr/bin on a merged-/usr system).
std::string MakePath(FuzzedDataProvider& input) {
  static const char* const kPool[] = {"usr", "bin", "lib", "a", "b", ".", "..", "", "etc"};
  std::string path;
  for (int i = input.ConsumeIntegralInRange(1, 4); i > 0; --i)
    path += "/" + (input.ConsumeBool() ? std::string(kPool[input.ConsumeIntegralInRange(0, 8)])
                                       : input.ConsumeRandomLengthString(24));
  return path;
}

std::uint32_t Answer(PosixPlatform& platform, const std::string& path) {
  return platform.SfcIsFileProtected(nullptr, Widen(path).c_str()) != 0 ? 0
                                                                         : platform.GetLastError();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::string lists[2], diversions;
  std::vector<std::string> asked;
  while (input.remaining_bytes() > 0) {
    std::string& list = lists[input.ConsumeIntegralInRange(0, 1)];
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0:  // a well-formed line
        asked.push_back(MakePath(input));
        list += "0123456789abcdef0123456789abcdef  " + asked.back().substr(input.ConsumeBool()) + "\n";
        break;
      case 1: {  // a diversion triple
        static const char* const kPackages[] = {"pkg", "other", ":", ""};
        asked.push_back(MakePath(input));
        asked.push_back(MakePath(input));
        diversions += asked[asked.size() - 2] + "\n" + asked.back() + "\n" +
                      kPackages[input.ConsumeIntegralInRange(0, 3)] + "\n";
        break;
      }
      case 2:  // raw bytes in a list
        list += input.ConsumeRandomLengthString(80);
        break;
      default:  // raw bytes in the diversions: lines and triples cut anywhere
        diversions += input.ConsumeRandomLengthString(80);
    }
  }
  std::ofstream(root.path + "/info/pkg.md5sums", std::ios::binary) << lists[0];
  std::ofstream(root.path + "/info/other:amd64.md5sums", std::ios::binary) << lists[1];
  std::ofstream(root.path + "/diversions", std::ios::binary) << diversions;
  if (asked.size() > 8) asked.resize(8);

  DpkgDatabase later_database(root.path);
  PosixPlatform later(later_database);
  std::vector<std::string> listed;
  corvane::ProtectedFileData record = {};
  while (later.SfcGetNextProtectedFile(nullptr, &record) != 0) {
    FUZZ_CHECK(record.FileNumber == listed.size() + 1);
    std::string path;
    for (const char16_t* c = record.FileName; *c != 0; ++c) path += static_cast<char>(*c);
    FUZZ_CHECK(!path.empty() && path[0] == '/' && path.size() < corvane::kMaxPath);
    FUZZ_CHECK(listed.empty() || listed.back() < path);
    listed.push_back(path);
  }
  FUZZ_CHECK(later.GetLastError() == corvane::kErrorNoMoreFiles);
  for (const std::string& path : listed) FUZZ_CHECK(Answer(later, path) == 0);
  for (const std::string& path : asked) {
    DpkgDatabase first_database(root.path);
    PosixPlatform first(first_database);
    const std::uint32_t answer = Answer(first, path);
    FUZZ_CHECK(answer == 0 || answer == corvane::kErrorFileNotFound);
    FUZZ_CHECK(Answer(later, path) == answer);
  }
  return 0;
}
