#include "platform/posix/packages/name_index.h"

namespace corvane::posix {
namespace {

constexpr std::size_t kTypicalFiles = std::size_t{1} << 17;

}  // namespace

void NameIndex::Add(const ListedPath& path) {
  if (hashes_.empty()) {
    // Room at once for a typical system's files: growing a step at a time
    // faults in every smaller array on the way, a millisecond or more.
    hashes_.reserve(kTypicalFiles);
    directory_of_.reserve(kTypicalFiles);
    directories_.reserve(kTypicalFiles / 8);
  }
  if (directories_.empty() || directories_.back() != path.directory)
    directories_.push_back(texts_.Keep(path.directory));
  const auto directory = static_cast<std::uint32_t>(directories_.size() - 1);
  hashes_.push_back(HashText(path.name));
  try {
    directory_of_.push_back(directory);
  } catch (...) {
    hashes_.pop_back();
    throw;
  }
}

void NameIndex::Build() {
  // About two files a group; a power of two of them, and one past the last.
  std::size_t groups = 1;
  while (groups * 2 < hashes_.size()) groups *= 2;
  starts_.assign(groups + 1, 0);
  for (const std::uint64_t hash : hashes_) ++starts_[hash & (groups - 1)];
  for (std::size_t g = 1; g < groups; ++g) starts_[g] += starts_[g - 1];
  // Each group's end counts down to its start as its files go in.
  order_.resize(hashes_.size());
  for (std::size_t f = hashes_.size(); f-- > 0;)
    order_[--starts_[hashes_[f] & (groups - 1)]] = static_cast<std::uint32_t>(f);
  starts_[groups] = static_cast<std::uint32_t>(hashes_.size());
}

}  // namespace corvane::posix
