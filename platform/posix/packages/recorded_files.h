// The files a package database records: the one store, which the listing walks and the name
// index chains over.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/posix/packages/large_pages.h"
#include "platform/posix/packages/package_database.h"

namespace corvane::posix {

// The recorded directories, each numbered once, and the recorded texts, each kept once.
class DirectoryTable {
 public:
  static constexpr std::uint32_t kRoot = 0;

  DirectoryTable() = default;
  DirectoryTable(const DirectoryTable&) = delete;
  DirectoryTable& operator=(const DirectoryTable&) = delete;
  ~DirectoryTable();

  // The number of the absolute directory `text` (from Keep; "" for the
  // root, no trailing '/'), added when new with the directories above it.
  std::uint32_t Number(std::string_view text);
  std::size_t size() const { return directories_.size(); }
  std::string_view text(std::uint32_t number) const { return directories_[number].text; }
  std::uint32_t parent(std::uint32_t number) const { return directories_[number].parent; }

  // A copy of `text` kept in place as long as the table; bad_alloc changes nothing.
  std::string_view Keep(std::string_view text);

 private:
  struct Directory {
    std::string_view text;
    std::uint32_t parent;
  };
  struct Block {
    char* bytes;
    std::size_t size;
  };

  std::vector<Directory, LargeAllocator<Directory>> directories_;
  std::unordered_map<std::string_view, std::uint32_t, TextHash, std::equal_to<>> numbers_;

  // Blocks of texts: a huge page, then each as large as all before, up to 2 huge pages.
  std::vector<Block> blocks_;
  char* free_ = nullptr;  // the unused part of the last block, up to end_
  char* end_ = nullptr;
  std::size_t kept_ = 0;  // bytes in all blocks
};

class RecordedFiles {
 public:
  // Records the file `path.name` (not empty) in the absolute `path.directory`.
  void Add(const ListedPath& path);
  // How many files are recorded, and file `file`'s name and directory.
  std::uint32_t size() const { return static_cast<std::uint32_t>(files_.size()); }
  std::string_view name(std::uint32_t file) const { return {files_[file].name, files_[file].size}; }
  std::string_view directory(std::uint32_t file) const { return run_texts_[files_[file].run]; }

  // Makes Listed answer: each path shorter than `limit` bytes once, by bytes. Once, after all Adds.
  void SortListing(std::size_t limit);
  // Entry `number` of the listing in *path; false past its end. The walk of
  // the tree orders each directory as it enters it: the entry after the last
  // one asked comes at once, an earlier one walks again from the start.
  bool Listed(std::uint32_t number, ListedPath* path);

 private:
  struct File {
    const char* name;
    std::uint32_t size;
    std::uint32_t run;
  };
  // The children of one directory still to be walked.
  struct Range {
    std::uint32_t at;
    std::uint32_t end;
    std::uint32_t directory;
  };

  // A child's key: a file's name, or a directory's last component ordered
  // as if a '/' followed, so that ordering each directory orders the paths.
  std::string_view Key(std::uint32_t child) const;
  bool Precedes(std::uint32_t a, std::uint32_t b) const;
  void Enter(std::uint32_t directory);
  // The file the walk lists next, or false at its end.
  bool Next(File* file);
  // The number of `file`'s directory, once SortListing numbered them.
  std::uint32_t DirectoryOf(const File& file) const { return run_directories_[file.run]; }

  DirectoryTable directories_;
  std::vector<File, LargeAllocator<File>> files_;
  // By run of files in one directory (lists come sorted): its text, which the listing numbers.
  // Numbering each as it came took 8 of the 30 ms of `corvane /usr/bin/*`, which never lists.
  std::vector<std::string_view, LargeAllocator<std::string_view>> run_texts_;
  std::vector<std::uint32_t> run_directories_;  // by run: its directory's number

  std::size_t limit_ = 0;
  std::vector<std::uint32_t> components_;  // by directory: where its last component starts
  std::vector<std::uint32_t> first_;       // by directory: its first child, and one past the last
  // File numbers, and directory numbers with the top bit set, by directory.
  std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> children_;
  std::vector<Range> walk_;
  std::vector<std::size_t> runs_;  // while a directory is put in order
  std::uint32_t next_ = 0;         // the number of the entry the walk gives next
};

// Which recorded files have a given last component: chains over the store, grouped by a hash of
// the name (`Hash`: TextHash, or another in the tests). The hash only picks candidates; a file
// answers only when its name is the asked one byte for byte, as a name can be made to collide.
template <typename Hash = TextHash>
class NameIndex {
 public:
  // Indexes every file of `files`, which must outlive the index unchanged.
  void Build(const RecordedFiles& files) {
    files_ = &files;
    // About two files a group, a power of two of them.
    std::size_t groups = 1;
    while (groups * 2 < files.size()) groups *= 2;
    heads_.reserve(std::max(groups, kHugePageOf<std::uint32_t>));
    heads_.assign(groups, kEnd);
    next_.reserve(std::max<std::size_t>(files.size(), kHugePageOf<std::uint32_t>));
    next_.resize(files.size());
    for (std::uint32_t file = 0; file < files.size(); ++file) {
      std::uint32_t& head = heads_[Hash{}(files.name(file)) & (groups - 1)];
      next_[file] = head;
      head = file;
    }
  }

  // Calls `visit(directory)` with the directory of each file recorded as
  // `name` until it returns true; true when it did.
  template <typename Visit>
  bool ForEachDirectoryOf(std::string_view name, Visit visit) const {
    if (heads_.empty()) return false;
    for (std::uint32_t file = heads_[Hash{}(name) & (heads_.size() - 1)]; file != kEnd;
         file = next_[file])
      if (files_->name(file) == name && visit(files_->directory(file))) return true;
    return false;
  }

 private:
  static constexpr std::uint32_t kEnd = ~std::uint32_t{0};

  const RecordedFiles* files_ = nullptr;
  // A chain of file numbers a group: one pass to build, no more memory than a sorted order.
  std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> heads_;  // by group: first file
  std::vector<std::uint32_t, LargeAllocator<std::uint32_t>> next_;   // by file: next in its group
};

}  // namespace corvane::posix
