// Shared by the POSIX tests: a temporary tree of a test's own, and the platform's conversions.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix/posix_platform.h"

namespace corvane::posix::testing {

class TempTree {
 public:
  ~TempTree() { std::filesystem::remove_all(root_); }
  // `relative` inside the tree; the root for "".
  std::string Path(const std::string& relative = "") const {
    return relative.empty() ? root_ : root_ + "/" + relative;
  }
  // Creates the file with `contents`, and its directories as needed.
  void Write(const std::string& relative, const std::string& contents) const {
    std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
    std::ofstream(Path(relative), std::ios::binary) << contents;
  }
  void Link(const std::string& relative, const std::string& target) const {
    std::filesystem::create_symlink(target, Path(relative));
  }

 private:
  std::string root_ =
      mkdtemp((std::filesystem::temp_directory_path() / "corvane-XXXXXX").string().data());
};

// Lowers the process's descriptor limit to `limit` while it lives.
class DescriptorLimit {
 public:
  explicit DescriptorLimit(rlim_t limit) {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = std::min(saved_.rlim_cur, limit);
    setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }

 private:
  rlimit saved_ = {};
};

// Byte b as U+00bb, and back.
inline std::u16string Wide(const std::string& bytes) {
  std::u16string wide;
  for (unsigned char byte : bytes) wide.push_back(byte);
  return wide;
}
inline std::string Narrow(const char16_t* text) {
  return std::string(text, text + std::char_traits<char16_t>::length(text));
}

// The whole protected list, each entry advancing the position by one.
inline std::vector<std::string> Listing(PosixPlatform& platform) {
  std::vector<std::string> listed;
  ProtectedFileData record = {};
  while (platform.SfcGetNextProtectedFile(nullptr, &record) != 0) {
    listed.push_back(Narrow(record.FileName));
    EXPECT_EQ(record.FileNumber, listed.size());
  }
  EXPECT_EQ(platform.GetLastError(), kErrorNoMoreFiles);
  return listed;
}

}  // namespace corvane::posix::testing
