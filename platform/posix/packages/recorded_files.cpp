#include "platform/posix/packages/recorded_files.h"

#include <algorithm>
#include <cstring>

namespace corvane::posix {
namespace {

constexpr std::uint32_t kDirectoryBit = std::uint32_t{1} << 31;

// One entry of a directory in the listing's tree: a file, keyed by its name,
// or a directory, keyed by its last component and a '/'. Ordering the keys
// of each directory then orders the whole paths by bytes.
struct Child {
  const char* text;
  std::uint32_t size;
  std::uint32_t item;  // a file's number, or a directory's with kDirectoryBit
};

bool IsDirectory(const Child& child) { return (child.item & kDirectoryBit) != 0; }

// The key's byte at `index`, where the key is at least that long: a
// directory's '/' just past its text, or -1 past a file's end.
int KeyByte(const Child& child, std::size_t index) {
  if (index < child.size) return static_cast<unsigned char>(child.text[index]);
  return IsDirectory(child) ? '/' : -1;
}

bool Precedes(const Child& a, const Child& b) {
  const std::size_t common = std::min(a.size, b.size);
  if (const int order = std::memcmp(a.text, b.text, common); order != 0) return order < 0;
  return KeyByte(a, common) < KeyByte(b, common);
}

}  // namespace

void RecordedFiles::Add(const ListedPath& path) {
  // Room at once for a typical system's files: growing a step at a time
  // faults in every smaller array on the way, a millisecond or more.
  if (files_.empty()) files_.reserve(std::size_t{1} << 17);
  const std::uint32_t directory = directories_.Number(path.directory);
  const std::string_view name = directories_.Keep(path.name);
  files_.push_back({name.data(), static_cast<std::uint32_t>(name.size()), directory});
}

void RecordedFiles::SortListing(std::size_t limit) {
  listing_.clear();
  if (files_.empty()) return;
  // The children of every directory, grouped by directory: directory d's
  // are children[first[d]] up to children[first[d + 1]].
  const std::size_t count = directories_.size();
  std::vector<std::uint32_t> first(count + 1, 0);
  for (std::uint32_t d = 1; d < count; ++d) ++first[directories_.parent(d) + 1];
  for (const File& file : files_) ++first[file.directory + 1];
  for (std::size_t d = 0; d < count; ++d) first[d + 1] += first[d];
  std::vector<Child, LargeAllocator<Child>> children(first.back());
  std::vector<std::uint32_t> fill(first.begin(), first.end() - 1);
  for (std::uint32_t d = 1; d < count; ++d) {
    const std::string_view text = directories_.text(d);
    const std::string_view component = text.substr(text.rfind('/') + 1);
    children[fill[directories_.parent(d)]++] = {
        component.data(), static_cast<std::uint32_t>(component.size()), d | kDirectoryBit};
  }
  for (std::uint32_t f = 0; f < files_.size(); ++f)
    children[fill[files_[f].directory]++] = {files_[f].name, files_[f].size, f};

  listing_.reserve(files_.size());
  // Depth first from the root, each directory's children put in order as it
  // is entered; the same path twice is listed once.
  struct Range {
    std::uint32_t at;
    std::uint32_t end;
    std::uint32_t directory;
  };
  std::vector<Range> walk;
  const auto enter = [&](std::uint32_t d) {
    Child* const begin = children.data() + first[d];
    Child* const end = children.data() + first[d + 1];
    // One package's files often make up a whole directory, already in order.
    if (!std::is_sorted(begin, end, Precedes)) std::sort(begin, end, Precedes);
    walk.push_back({first[d], first[d + 1], d});
  };
  enter(0);
  while (!walk.empty()) {
    Range& range = walk.back();
    if (range.at == range.end) {
      walk.pop_back();
      continue;
    }
    const Child& child = children[range.at++];
    if (IsDirectory(child)) {
      enter(child.item & ~kDirectoryBit);
      continue;
    }
    const Child& before = children[range.at - 2 < range.at ? range.at - 2 : 0];
    const bool repeated = range.at - 1 > first[range.directory] && !IsDirectory(before) &&
                          std::string_view(before.text, before.size) ==
                              std::string_view(child.text, child.size);
    if (!repeated && directories_.text(range.directory).size() + 1 + child.size < limit)
      listing_.push_back(child.item);
  }
}

bool RecordedFiles::Listed(std::uint32_t number, ListedPath* path) const {
  if (number >= listing_.size()) return false;
  const File& file = files_[listing_[number]];
  *path = {directories_.text(file.directory), std::string_view(file.name, file.size)};
  return true;
}

}  // namespace corvane::posix
