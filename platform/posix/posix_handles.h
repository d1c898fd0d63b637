// The POSIX handles the platform takes, each held by the one owner template.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include "platform/unique_any.h"

namespace corvane::posix {

struct FdTraits {
  using Type = int;
  static int Invalid() { return -1; }
  static bool Valid(int fd) { return fd >= 0; }
  void Close(int fd) const { close(fd); }
};
// An open descriptor.
using UniqueFd = UniqueAny<FdTraits>;

struct DirTraits {
  using Type = DIR*;
  static DIR* Invalid() { return nullptr; }
  static bool Valid(DIR* directory) { return directory != nullptr; }
  void Close(DIR* directory) const { closedir(directory); }
};
// An open directory stream.
using UniqueDir = UniqueAny<DirTraits>;

}  // namespace corvane::posix
