// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.
//
// The files a package database records, held compactly for listing them in
// order: each directory's text once, the last components packed in blocks
// that never move, and per file only where those are.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/large_pages.h"

namespace corvane::posix {

// Text appended in blocks that never move, each piece found by its number.
// The kReadAhead bytes after any piece may be read, and hold something
// defined, so that a copy may go in whole words past a piece's end.
class TextBlocks {
 public:
  static constexpr std::size_t kReadAhead = 8;

  // Stores `text` and returns where it went; bad_alloc when out of room.
  std::uint32_t Append(std::string_view text) {
    if (blocks_.empty() || text.size() + kReadAhead > kBlockSize - used_)
      return AppendToNewBlock(text);
    const std::uint32_t at =
        static_cast<std::uint32_t>((blocks_.size() - 1) << kOffsetBits) | used_;
    char* const end = blocks_.back().get() + used_;
    std::memcpy(end, text.data(), text.size());
    std::memset(end + text.size(), 0, kReadAhead);
    used_ += static_cast<std::uint32_t>(text.size());
    return at;
  }
  std::string_view View(std::uint32_t at, std::uint32_t size) const {
    return {blocks_[at >> kOffsetBits].get() + (at & kOffsetMask), size};
  }

 private:
  std::uint32_t AppendToNewBlock(std::string_view text);

  // A block is one huge page.
  static constexpr unsigned kOffsetBits = 21;
  static constexpr std::uint32_t kBlockSize = std::uint32_t{1} << kOffsetBits;
  static constexpr std::uint32_t kOffsetMask = kBlockSize - 1;

  std::vector<std::unique_ptr<char[], LargeFree>> blocks_;
  std::uint32_t used_ = kBlockSize;  // in the last block
};

// One entry of the sorted listing: a file's last component and directory.
// Both may be read TextBlocks::kReadAhead bytes past their ends.
struct ListedFile {
  std::string_view directory;  // "" for the root
  std::string_view name;
};

class RecordedFiles {
 public:
  RecordedFiles();
  RecordedFiles(const RecordedFiles&) = delete;
  RecordedFiles& operator=(const RecordedFiles&) = delete;
  // Waits for a listing still being made on the other thread.
  ~RecordedFiles();

  // The number of the directory `text` (absolute, "" for the root), which
  // is added when new, and so are the directories above it. Asking for the
  // same one as last time is cheap.
  std::uint32_t Directory(std::string_view text);
  // The directory number and last component of the absolute `path`; the
  // directory is added when new.
  std::pair<std::uint32_t, std::string_view> Place(std::string_view path);
  // Records the file `name` (not empty) in directory number `directory`.
  void Add(std::uint32_t directory, std::string_view name);

  std::string_view directory(std::uint32_t number) const {
    const Piece& piece = directories_[number].text;
    return text_.View(piece.at, piece.size);
  }

  // Makes Listed answer: every recorded path shorter than `limit` bytes
  // once, in byte order. Call once, when every file is added, and add none
  // after. The listing is ordered on a thread of its own where one can be
  // had, while the entries already in order are asked for; bad_alloc
  // leaves no listing.
  void SortListing(std::size_t limit);
  // Entry `number` of the listing in *file, waiting for it while it is
  // being ordered; false past its end.
  bool Listed(std::uint32_t number, ListedFile* file);

 private:
  static constexpr std::uint32_t kNone = ~std::uint32_t{0};

  struct Piece {
    std::uint32_t at;
    std::uint32_t size;
  };
  struct DirectoryEntry {
    Piece text;
    std::uint32_t parent;     // kNone for the root
    std::uint32_t component;  // where its last component starts in its text
  };
  struct File {
    Piece name;
    std::uint32_t directory;
  };
  // One child of a directory in the listing's tree: a file, keyed by its
  // name, or a directory, keyed by its last component and a '/', so that
  // ordering the keys of each directory orders the whole paths. Sixteen
  // bytes: the tree is built fresh for every listing, and each page of it
  // costs a fault.
  struct Child {
    std::uint64_t head;  // the key's first 8 bytes, big-endian, zero-padded
    std::uint32_t at;    // a file's name in text_; unused for a directory
    std::uint32_t word;  // a file's name size, or a directory's number with the top bit set
  };
  struct Keys;
  // The children of one directory still to be walked.
  struct Range {
    std::uint32_t begin;
    std::uint32_t at;
    std::uint32_t end;
    std::uint32_t directory;
  };
  // One entry of the listing as made: where its parts are.
  struct Entry {
    std::uint32_t directory;
    std::uint32_t name_at;
    std::uint32_t name_size;
  };
  // An open-addressing table of numbers keyed by text: a slot holds the
  // text's hash in its high half and the number plus one in its low half.
  using Slots = std::vector<std::uint64_t>;

  // The slot for `text` in `slots`: its own, or the empty one it would go to.
  template <typename TextOf>
  static std::size_t Probe(const Slots& slots, std::uint64_t hash, std::string_view text,
                           TextOf text_of);
  // SortListing's part on the caller's thread: the tree's children grouped
  // by directory, and room for MakeListing.
  void Prepare(std::size_t limit);
  // Orders the tree and writes the listing into listing_, depth first,
  // telling its progress in listed_. Allocates nothing.
  void MakeListing();
  // Stops the helper thread, if there is one, and waits for it.
  void StopHelper();
  // Puts the children of directory `number` in order and enters them in
  // the walk.
  void Descend(std::uint32_t number);
  // The next entry of the walk; false at its end.
  bool Next(Entry* entry);

  TextBlocks text_;
  std::vector<DirectoryEntry> directories_;
  Slots directory_slots_;
  std::uint32_t last_directory_ = 0;
  std::string_view last_directory_text_;
  bool have_last_directory_ = false;

  std::vector<File, LargeAllocator<File>> files_;

  std::unique_ptr<Child[], LargeFree> children_;  // grouped by directory, each group sorted
  std::vector<std::uint32_t> first_child_;        // by directory, and one past the last
  std::size_t limit_ = 0;
  std::uint32_t root_ = 0;
  std::vector<Range> walk_;  // MakeListing's; room for every directory at once

  // Who makes the listing: the thread, or the first caller of Listed when
  // the thread has not begun by then.
  enum : int { kNobody, kByThread, kByCaller };
  static constexpr std::uint32_t kAllMade = std::uint32_t{1} << 31;
  std::unique_ptr<Entry[], LargeFree> listing_;
  std::atomic<int> maker_{kNobody};
  std::atomic<bool> prepared_{false};  // the tree is there to be ordered
  std::atomic<bool> stop_{false};
  std::atomic<std::uint32_t> listed_{0};  // entries made, with kAllMade once all are
  std::uint32_t made_ = 0;                // what Listed last saw of it
  bool all_made_ = false;
  std::thread thread_;
};

template <typename TextOf>
std::size_t RecordedFiles::Probe(const Slots& slots, std::uint64_t hash, std::string_view text,
                                 TextOf text_of) {
  const std::size_t mask = slots.size() - 1;
  const std::uint64_t tag = hash >> 32;
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const std::uint64_t held = slots[slot];
    if (held == 0) return slot;
    if ((held >> 32) == tag && text_of(static_cast<std::uint32_t>(held) - 1) == text) return slot;
  }
}

}  // namespace corvane::posix
