// POSIX systems only: nothing here may depend on Windows, and each operation
// keeps the meaning of the Windows call it stands for.

#include "platform/posix/recorded_files.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/posix/helper_thread.h"

namespace corvane::posix {
namespace {

constexpr std::uint32_t kDirectoryBit = std::uint32_t{1} << 31;

}  // namespace

// The ordering of the keys of a directory's children.
struct RecordedFiles::Keys {
  const RecordedFiles& files;

  static bool IsDirectory(const Child& child) { return (child.word & kDirectoryBit) != 0; }
  // The key without a directory's '/'.
  std::string_view Text(const Child& child) const {
    if (!IsDirectory(child)) return files.text_.View(child.at, child.word);
    const std::uint32_t number = child.word & ~kDirectoryBit;
    return files.directory(number).substr(files.directories_[number].component);
  }
  static Child Make(std::string_view text, std::uint32_t at, std::uint32_t word) {
    unsigned char bytes[8] = {};
    std::memcpy(bytes, text.data(), std::min<std::size_t>(text.size(), 8));
    if ((word & kDirectoryBit) != 0 && text.size() < 8) bytes[text.size()] = '/';
    std::uint64_t head = 0;
    for (unsigned char byte : bytes) head = head << 8 | byte;
    return Child{head, at, word};
  }
  bool Precedes(const Child& a, const Child& b) const {
    if (a.head != b.head) return a.head < b.head;
    const std::string_view x = Text(a), y = Text(b);
    const std::size_t common = std::min(x.size(), y.size());
    if (const int order = std::memcmp(x.data(), y.data(), common); order != 0) return order < 0;
    // A name holds no '/', so the keys differ at `common` unless they are the same.
    return ByteAt(a, x, common) < ByteAt(b, y, common);
  }
  bool Same(const Child& a, const Child& b) const {
    return a.head == b.head && IsDirectory(a) == IsDirectory(b) && Text(a) == Text(b);
  }

 private:
  // The byte at `index` of the key whose text is `text`, or -1 past its end.
  static int ByteAt(const Child& child, std::string_view text, std::size_t index) {
    if (index < text.size()) return static_cast<unsigned char>(text[index]);
    return index == text.size() && IsDirectory(child) ? '/' : -1;
  }
};

namespace {

// A hash of `text` good enough to pick table slots.
std::uint64_t HashText(std::string_view text) {
  constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
  // One multiplication per word is a bijection of it; the end mixes it all.
  std::uint64_t hash = text.size();
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    hash = (hash ^ word) * kMultiplier;
  }
  if (at < text.size()) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + at, text.size() - at);
    hash = (hash ^ word) * kMultiplier;
  }
  hash ^= hash >> 32;
  hash *= kMultiplier;
  return hash ^ (hash >> 29);
}

}  // namespace

std::uint32_t TextBlocks::AppendToNewBlock(std::string_view text) {
  if (blocks_.size() >> (32 - kOffsetBits) != 0) throw std::bad_alloc();
  const std::size_t bytes = std::max<std::size_t>(text.size() + kReadAhead, kBlockSize);
  blocks_.emplace_back(static_cast<char*>(AllocateLarge(bytes)), LargeFree{bytes});
  std::memcpy(blocks_.back().get(), text.data(), text.size());
  std::memset(blocks_.back().get() + text.size(), 0, kReadAhead);
  // A piece that fills a block leaves it full.
  used_ = static_cast<std::uint32_t>(std::min<std::size_t>(text.size(), kBlockSize));
  return static_cast<std::uint32_t>((blocks_.size() - 1) << kOffsetBits);
}

// Untouched pages cost nothing, and growing would copy and touch twice as much.
RecordedFiles::RecordedFiles() { files_.reserve(std::size_t{1} << 20); }

std::uint32_t RecordedFiles::Directory(std::string_view text) {
  if (have_last_directory_ && text == last_directory_text_) return last_directory_;
  // Sized for a whole database at once: growing rehashes every directory.
  if (directory_slots_.empty()) directory_slots_.assign(std::size_t{1} << 15, 0);
  const std::uint64_t hash = HashText(text);
  const auto text_of = [&](std::uint32_t number) { return directory(number); };
  std::size_t slot = Probe(directory_slots_, hash, text, text_of);
  std::uint32_t number = static_cast<std::uint32_t>(directory_slots_[slot]) - 1;
  if (directory_slots_[slot] == 0) {
    DirectoryEntry entry{Piece{0, static_cast<std::uint32_t>(text.size())}, kNone, 0};
    if (!text.empty()) {
      // Most often the parent is the directory asked for last.
      const auto [parent, component] = Place(text);
      entry.parent = parent;
      entry.component = static_cast<std::uint32_t>(component.data() - text.data());
      slot = Probe(directory_slots_, hash, text, text_of);
    }
    entry.text.at = text_.Append(text);
    number = static_cast<std::uint32_t>(directories_.size());
    directories_.push_back(entry);
    directory_slots_[slot] = (hash >> 32 << 32) | (number + 1);
    if (directories_.size() * 2 > directory_slots_.size()) {
      Slots larger(directory_slots_.size() * 2, 0);
      for (std::uint64_t held : directory_slots_) {
        if (held == 0) continue;
        const std::string_view moved = directory(static_cast<std::uint32_t>(held) - 1);
        larger[Probe(larger, HashText(moved), moved, text_of)] = held;
      }
      directory_slots_ = std::move(larger);
    }
  }
  last_directory_ = number;
  last_directory_text_ = directory(number);
  have_last_directory_ = true;
  return number;
}

std::pair<std::uint32_t, std::string_view> RecordedFiles::Place(std::string_view path) {
  // Lists come sorted, so most paths are in the directory of the one before.
  const std::size_t size = last_directory_text_.size();
  if (have_last_directory_ && path.size() > size + 1 && path[size] == '/' &&
      std::memcmp(path.data(), last_directory_text_.data(), size) == 0 &&
      std::memchr(path.data() + size + 1, '/', path.size() - size - 1) == nullptr)
    return {last_directory_, path.substr(size + 1)};
  std::size_t slash = path.size();
  while (slash > 0 && path[slash - 1] != '/') --slash;
  if (slash == 0) return {Directory(std::string_view()), path};
  return {Directory(path.substr(0, slash - 1)), path.substr(slash)};
}

void RecordedFiles::Add(std::uint32_t directory, std::string_view name) {
  files_.push_back(
      File{Piece{text_.Append(name), static_cast<std::uint32_t>(name.size())}, directory});
}

void RecordedFiles::SortListing(std::size_t limit) {
  // Started first: a thread takes a while to begin running, and the tree
  // is built meanwhile.
  thread_ = StartHelper([this] {
    int nobody = kNobody;
    if (!maker_.compare_exchange_strong(nobody, kByThread)) return;
    WaitWhile(prepared_, false);
    if (!stop_.load(std::memory_order_relaxed)) MakeListing();
  });
  try {
    Prepare(limit);
  } catch (...) {
    StopHelper();
    throw;
  }
  prepared_.store(true, std::memory_order_release);
}

void RecordedFiles::Prepare(std::size_t limit) {
  // The count shares its word with kAllMade.
  if (files_.size() >= kAllMade) throw std::bad_alloc();
  limit_ = limit;
  root_ = Directory("");
  // The children of every directory, grouped by directory.
  const std::size_t directories = directories_.size();
  first_child_.assign(directories + 1, 0);
  for (const DirectoryEntry& entry : directories_)
    if (entry.parent != kNone) ++first_child_[entry.parent + 1];
  for (const File& file : files_) ++first_child_[file.directory + 1];
  for (std::size_t number = 0; number < directories; ++number)
    first_child_[number + 1] += first_child_[number];
  // Every slot is written before it is read: no zero-filling.
  const std::size_t child_bytes = first_child_.back() * sizeof(Child);
  children_ = {static_cast<Child*>(AllocateLarge(child_bytes)), LargeFree{child_bytes}};
  std::vector<std::uint32_t> fill(first_child_.begin(), first_child_.end() - 1);
  for (std::uint32_t number = 0; number < directories; ++number) {
    const DirectoryEntry& entry = directories_[number];
    if (entry.parent != kNone)
      children_[fill[entry.parent]++] =
          Keys::Make(directory(number).substr(entry.component), 0, number | kDirectoryBit);
  }
  for (const File& file : files_)
    children_[fill[file.directory]++] =
        Keys::Make(text_.View(file.name.at, file.name.size), file.name.at, file.name.size);
  const std::size_t listing_bytes = std::max<std::size_t>(files_.size(), 1) * sizeof(Entry);
  listing_ = {static_cast<Entry*>(AllocateLarge(listing_bytes)), LargeFree{listing_bytes}};
  walk_.clear();
  walk_.reserve(directories);
}

void RecordedFiles::MakeListing() {
  // Told in batches: each telling moves a cache line to the other thread.
  constexpr std::uint32_t kBatch = 256;
  std::uint32_t count = 0;
  Descend(root_);
  for (Entry entry; Next(&entry);) {
    listing_[count++] = entry;
    if (count % kBatch != 0) continue;
    if (stop_.load(std::memory_order_relaxed)) break;
    listed_.store(count, std::memory_order_release);
  }
  listed_.store(count | kAllMade, std::memory_order_release);
}

void RecordedFiles::StopHelper() {
  if (!thread_.joinable()) return;
  stop_.store(true, std::memory_order_relaxed);
  prepared_.store(true, std::memory_order_release);
  thread_.join();
}

RecordedFiles::~RecordedFiles() { StopHelper(); }

bool RecordedFiles::Listed(std::uint32_t number, ListedFile* file) {
  while (number >= made_ && !all_made_) {
    std::uint32_t progress = listed_.load(std::memory_order_acquire);
    if ((progress & ~kAllMade) <= number && (progress & kAllMade) == 0) {
      int nobody = kNobody;
      if (maker_.compare_exchange_strong(nobody, kByCaller))
        MakeListing();
      else
        WaitWhile(listed_, progress);
      progress = listed_.load(std::memory_order_acquire);
    }
    made_ = progress & ~kAllMade;
    all_made_ = (progress & kAllMade) != 0;
  }
  if (number >= made_) return false;
  const Entry& entry = listing_[number];
  *file = ListedFile{directory(entry.directory), text_.View(entry.name_at, entry.name_size)};
  return true;
}

void RecordedFiles::Descend(std::uint32_t number) {
  Child* const first = children_.get() + first_child_[number];
  Child* const last = children_.get() + first_child_[number + 1];
  const Keys keys{*this};
  const auto precedes = [&keys](const Child& a, const Child& b) { return keys.Precedes(a, b); };
  // One package's files often make up a whole directory, already in order.
  if (!std::is_sorted(first, last, precedes)) std::sort(first, last, precedes);
  walk_.push_back({first_child_[number], first_child_[number], first_child_[number + 1], number});
}

bool RecordedFiles::Next(Entry* entry) {
  // Depth first through the tree; the same path twice comes out once.
  while (!walk_.empty()) {
    Range& range = walk_.back();
    if (range.at == range.end) {
      walk_.pop_back();
      continue;
    }
    const Child& child = children_[range.at++];
    if (Keys::IsDirectory(child)) {
      Descend(child.word & ~kDirectoryBit);
    } else if ((range.at - 1 == range.begin || !Keys{*this}.Same(child, children_[range.at - 2])) &&
               directories_[range.directory].text.size + 1 + child.word < limit_) {
      *entry = Entry{range.directory, child.at, child.word};
      return true;
    }
  }
  return false;
}

}  // namespace corvane::posix
