#include "platform/posix/packages/dpkg/read_ahead.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include "platform/posix/packages/large_pages.h"

namespace corvane::posix {
namespace {

// ReadList's answer when the caller wants no more.
constexpr int kStopped = -1;

}  // namespace

ReadAhead::ReadAhead(std::size_t count, Opener open) : count_(count), open_(std::move(open)) {
  // The slots together fill one huge page: a single fault instead of 512.
  try {
    block_ = AllocateLarge(kSlots * kSlotBytes);
  } catch (const std::bad_alloc&) {
    return;
  }
  for (std::size_t s = 0; s < kSlots; ++s) {
    slots_[s].bytes = static_cast<char*>(block_) + s * kSlotBytes;
    slots_[s].capacity = kSlotBytes;
  }
  filling_ = &slots_[0];
  try {
    thread_ = std::thread([this] { Read(); });
  } catch (const std::system_error&) {
    // The caller reads the lists itself.
  }
}

ReadAhead::~ReadAhead() {
  if (thread_.joinable()) {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  if (block_ != nullptr) FreeLarge(block_, kSlots * kSlotBytes);
}

bool ReadAhead::Next(Piece* piece) {
  if (reading_ != nullptr && next_piece_ < reading_->count) {
    *piece = reading_->pieces[next_piece_++];
    return true;
  }
  std::unique_lock lock(mutex_);
  if (reading_ != nullptr) {
    ++consumed_;
    reading_ = nullptr;
    changed_.notify_all();
  }
  changed_.wait(lock, [this] { return consumed_ < handed_ || done_; });
  if (consumed_ == handed_) return false;
  reading_ = &slots_[consumed_ % kSlots];
  lock.unlock();
  next_piece_ = 1;
  *piece = reading_->pieces[0];
  return true;
}

void ReadAhead::Read() {
  for (std::size_t list = 0; list < count_; ++list) {
    int fd = -1;
    int failure = open_(list, &fd);
    if (failure == ENOENT) continue;
    if (failure == 0) {
      try {
        failure = ReadList(list, fd);
      } catch (const std::bad_alloc&) {
        failure = ENOMEM;
      }
      close(fd);
    }
    if (failure == kStopped) break;
    if (failure != 0) {
      if (filling_->count == kPiecesPerSlot && !Hand(filled_)) break;
      AddPiece(list, filled_, filled_, failure);
      break;
    }
  }
  const std::lock_guard lock(mutex_);
  if (filling_->count > 0) ++handed_;
  done_ = true;
  changed_.notify_all();
}

int ReadAhead::ReadList(std::size_t list, int fd) {
  // A list adds at most one piece to a slot before the slot is handed over.
  if (filling_->count == kPiecesPerSlot && !Hand(filled_)) return kStopped;
  std::size_t start = filled_;  // where this list's bytes begin in the slot
  off_t offset = 0;
  for (;;) {
    Slot* const slot = filling_;
    if (filled_ == slot->capacity) {
      std::size_t end = filled_;
      while (end > start && slot->bytes[end - 1] != '\n') --end;
      if (end == start && start == 0) {
        // One line longer than a slot: this slot grows to hold it.
        Grow(slot, slot->capacity * 2, filled_);
        continue;
      }
      // The incomplete line goes on in the next slot.
      if (end > start) AddPiece(list, start, end, 0);
      if (!Hand(end)) return kStopped;
      start = 0;
      continue;
    }
    const std::size_t asked = slot->capacity - filled_;
    const ssize_t got = pread(fd, slot->bytes + filled_, asked, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    offset += got;
    filled_ += static_cast<std::size_t>(got);
    // A short read ends a regular file, and leaves room for a last '\n'.
    if (static_cast<std::size_t>(got) < asked) {
      if (filled_ > start) {
        if (slot->bytes[filled_ - 1] != '\n') slot->bytes[filled_++] = '\n';
        AddPiece(list, start, filled_, 0);
      }
      return 0;
    }
  }
}

bool ReadAhead::Hand(std::size_t carry_from) {
  Slot* const full = filling_;
  std::unique_lock lock(mutex_);
  if (full->count > 0) {
    ++handed_;
    changed_.notify_all();
  }
  changed_.wait(lock, [this] { return stopping_ || handed_ - consumed_ < kSlots; });
  if (stopping_) return false;
  Slot* const next = &slots_[handed_ % kSlots];
  lock.unlock();
  // A slot with no pieces was not handed over and is filled again.
  const std::size_t carried = filled_ - carry_from;
  if (next == full) {
    std::memmove(full->bytes, full->bytes + carry_from, carried);
  } else {
    next->count = 0;
    if (next->capacity < carried) Grow(next, carried, 0);
    std::memcpy(next->bytes, full->bytes + carry_from, carried);
  }
  filling_ = next;
  filled_ = carried;
  return true;
}

void ReadAhead::Grow(Slot* slot, std::size_t capacity, std::size_t keep) {
  auto grown = std::make_unique_for_overwrite<char[]>(capacity);
  std::memcpy(grown.get(), slot->bytes, keep);
  slot->grown = std::move(grown);
  slot->bytes = slot->grown.get();
  slot->capacity = capacity;
}

void ReadAhead::AddPiece(std::size_t list, std::size_t begin, std::size_t end, int failure) {
  filling_->pieces[filling_->count++] = {list, {filling_->bytes + begin, end - begin}, failure};
}

}  // namespace corvane::posix
