// Directories as symbolic links resolve them, each worked out at most once.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/posix/packages/package_database.h"

namespace corvane::posix {

class DirectoryResolver {
 public:
  // True when the `recorded` directory of a package's file and the
  // directory a question `asked` about are one, through symbolic links.
  bool Same(std::string_view recorded, std::string_view asked);

 private:
  struct Resolved {
    std::string path;  // "" for the root, so that "/" and a name join to a path
    bool real;         // false when resolving failed
  };
  // The absolute `directory` ("" is the root) with every symbolic link
  // resolved, as realpath() gives it; by its text alone (folded, without a
  // trailing '/') when that fails, because it does not exist, say. A
  // directory whose parent was resolved costs one lstat, not a walk from
  // the root.
  const Resolved& Entry(std::string_view directory);

  std::unordered_map<std::string, Resolved, TextHash, std::equal_to<>> cache_;
  const Resolved root_{"", true};
};

}  // namespace corvane::posix
