#include "platform/posix/packages/name_index.h"

#include <algorithm>

namespace corvane::posix {
namespace {

// The entries of one huge page: growing a step at a time would fault in
// every smaller array on the way, and a page that is not whole would be
// made of small ones, a fault each.
template <typename T>
constexpr std::size_t kHugePageOf = ((std::size_t{2} << 20) + sizeof(T) - 1) / sizeof(T);

}  // namespace

void NameIndex::Add(const ListedPath& path) {
  if (files_.empty()) {
    files_.reserve(kHugePageOf<File>);
    directories_.reserve(kHugePageOf<std::string_view>);
  }
  if (directories_.empty() || directories_.back() != path.directory)
    directories_.push_back(texts_.Keep(path.directory));
  const std::uint64_t hash = HashText(path.name);
  files_.push_back({static_cast<std::uint32_t>(hash), static_cast<std::uint32_t>(hash >> 32),
                    static_cast<std::uint32_t>(directories_.size() - 1)});
}

void NameIndex::Build() {
  // About two files a group; a power of two of them, and one past the last.
  std::size_t groups = 1;
  while (groups * 2 < files_.size()) groups *= 2;
  starts_.reserve(std::max(groups + 1, kHugePageOf<std::uint32_t>));
  starts_.assign(groups + 1, 0);
  for (const File& file : files_) ++starts_[file.hash_low & (groups - 1)];
  for (std::size_t g = 1; g < groups; ++g) starts_[g] += starts_[g - 1];
  // Each group's end counts down to its start as its files go in.
  order_.reserve(std::max(files_.size(), kHugePageOf<std::uint32_t>));
  order_.resize(files_.size());
  for (std::size_t f = files_.size(); f-- > 0;)
    order_[--starts_[files_[f].hash_low & (groups - 1)]] = static_cast<std::uint32_t>(f);
  starts_[groups] = static_cast<std::uint32_t>(files_.size());
}

}  // namespace corvane::posix
