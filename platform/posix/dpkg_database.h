// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.
//
// The protection service on a system managed by dpkg: a file is protected
// when an installed package's md5sums list records it, at the place where
// the diversions put it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvane::posix {

class DpkgDatabase {
 public:
  // `directory` is the database's root, holding info/ and diversions
  // ("/var/lib/dpkg" on the system). Nothing is read before the first
  // question; the first one reads it all, and later ones answer from memory.
  explicit DpkgDatabase(std::string directory);

  // For the absolute `path`: kErrorSuccess when the file there is protected,
  // kErrorFileNotFound when it is not, and another code (never
  // kErrorFileNotFound) when the database could not be read: 3 when it is
  // missing, 5 when it may not be read. The path's directory and the
  // recorded ones are compared as symbolic links resolve them, so a
  // directory alias answers like the directory; the last component is
  // compared as written, so a link to a recorded file is not that file.
  std::uint32_t Query(std::string_view path);

  // Every protected path, sorted by bytes, each once; nullptr with *error
  // set as for Query when the database could not be read. The list lives as
  // long as the database.
  const std::vector<std::string>* List(std::uint32_t* error);

 private:
  struct Diversion {
    std::string to;
    std::string package;  // ":" for a local diversion
  };
  // One recorded file: its last component and its directory's index.
  struct Entry {
    std::string name;
    std::uint32_t directory;
  };
  // Orders entries by name alone, for looking one name up.
  struct ByName {
    bool operator()(const Entry& entry, std::string_view name) const { return entry.name < name; }
    bool operator()(std::string_view name, const Entry& entry) const { return name < entry.name; }
  };

  std::uint32_t EnsureLoaded();
  std::uint32_t Load();
  std::uint32_t ReadDiversions();
  std::uint32_t ReadList(const std::string& file_name);
  // Records the file `path` (absolute) of `package` where it actually lives.
  void Record(std::string path, std::string_view package);
  // The directory with index `directory` as symbolic links resolve it.
  const std::string& Resolved(std::uint32_t directory);

  std::string root_;
  bool loaded_ = false;
  std::uint32_t load_error_ = 0;

  std::unordered_map<std::string, Diversion> diversions_;  // by the diverted path
  std::vector<Entry> entries_;                             // by name, then directory
  std::vector<std::string> directories_;
  std::unordered_map<std::string, std::uint32_t> directory_index_;
  std::vector<std::string> resolved_;  // empty until asked for

  bool listed_ = false;
  std::vector<std::string> list_;
};

}  // namespace corvane::posix
