// A directory tree of a test's own under the temporary directory, removed
// with everything in it when the test ends.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace corvane::posix::testing {

class TempTree {
 public:
  TempTree() {
    std::string name = (std::filesystem::temp_directory_path() / "corvane-XXXXXX").string();
    root_ = mkdtemp(name.data());
  }
  ~TempTree() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // The absolute path of `relative` inside the tree; the root for "".
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
  std::string root_;
};

}  // namespace corvane::posix::testing
