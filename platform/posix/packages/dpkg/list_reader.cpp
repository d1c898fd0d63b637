#include "platform/posix/packages/dpkg/list_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

#include "platform/posix/packages/large_pages.h"

namespace corvane::posix {

ListReader::ListReader(std::size_t count, Opener open, Done done, bool ahead)
    : count_(count),
      open_(std::move(open)),
      done_(std::move(done)),
      slot_count_(ahead ? kSlots : 1),
      // The slots of a second thread together fill one huge page: a single
      // fault instead of 512.
      block_(AllocateLarge(slot_count_ * kSlotBytes)) {
  for (std::size_t s = 0; s < slot_count_; ++s) {
    slots_[s].bytes = static_cast<char*>(block_) + s * kSlotBytes;
    slots_[s].capacity = kSlotBytes;
  }
  if (!ahead) return;
  try {
    thread_ = std::thread([this] { Read(); });
  } catch (const std::system_error&) {
    // The caller reads the lists itself.
  }
}

ListReader::~ListReader() {
  if (thread_.joinable()) {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  FreeLarge(block_, slot_count_ * kSlotBytes);
}

bool ListReader::Next(Piece* piece) {
  if (reading_ != nullptr && next_piece_ < reading_->count) {
    *piece = reading_->pieces[next_piece_++];
    return true;
  }
  if (!thread_.joinable()) {
    // The one slot is read into again, from the line the last piece left incomplete.
    reading_ = filling_;
    do {
      if (!more_) return false;
      Carry(filling_);
      more_ = Fill();
    } while (filling_->count == 0);
  } else {
    std::unique_lock lock(mutex_);
    if (reading_ != nullptr) {
      ++consumed_;
      reading_ = nullptr;
      changed_.notify_all();
    }
    changed_.wait(lock, [this] { return consumed_ < handed_ || done_reading_; });
    if (consumed_ == handed_) return false;
    reading_ = &slots_[consumed_ % kSlots];
  }
  next_piece_ = 1;
  *piece = reading_->pieces[0];
  return true;
}

int ListReader::failure_read() const {
  for (std::size_t p = next_piece_; reading_ != nullptr && p < reading_->count; ++p)
    if (reading_->pieces[p].failure != 0) return reading_->pieces[p].failure;
  return failure_;
}

bool ListReader::Fill() {
  Slot& slot = *filling_;
  while (list_ < count_) {
    if (!fd_.valid()) {
      // A list adds at most one piece to a slot before the slot is handed over.
      if (slot.count == kPiecesPerSlot) break;
      if (const int failure = open_(list_, &fd_); failure == ENOENT) {
        ++list_;
        continue;
      } else if (failure != 0) {
        failure_ = failure, list_ = count_;
        break;
      }
      offset_ = 0;
      start_ = slot.filled;
    }
    if (slot.filled == slot.capacity) {
      std::size_t end = slot.filled;
      while (end > start_ && slot.bytes[end - 1] != '\n') --end;
      if (end == 0) {
        // One line longer than a slot: the slot grows to hold it.
        auto grown = std::make_unique_for_overwrite<char[]>(slot.capacity * 2);
        std::memcpy(grown.get(), slot.bytes, slot.filled);
        slot.grown = std::move(grown);
        slot.bytes = slot.grown.get();
        slot.capacity *= 2;
        continue;
      }
      // The incomplete line goes on in the next slot.
      if (end > start_) AddPiece(start_, end, 0);
      start_ = 0;
      carry_ = end;
      return true;
    }
    const std::size_t asked = slot.capacity - slot.filled;
    ssize_t got;
    while ((got = pread(fd_.get(), slot.bytes + slot.filled, asked, offset_)) < 0 && errno == EINTR) {
    }
    if (got < 0) {
      failure_ = errno, list_ = count_;
      fd_.reset();
      break;
    }
    offset_ += got;
    slot.filled += static_cast<std::size_t>(got);
    // No read is needed to learn that a regular file ended; the short read
    // leaves room for a last '\n'.
    if (static_cast<std::size_t>(got) < asked) {
      if (slot.filled > start_ && slot.bytes[slot.filled - 1] != '\n') slot.bytes[slot.filled++] = '\n';
      if (slot.filled > start_) AddPiece(start_, slot.filled, 0);
      if (done_) done_(list_, std::move(fd_));
      fd_.reset();
      ++list_;
    }
  }
  carry_ = slot.filled;
  if (list_ < count_ || (failure_ != 0 && slot.count == kPiecesPerSlot)) return true;
  if (failure_ != 0) AddPiece(slot.filled, slot.filled, std::exchange(failure_, 0));
  return false;
}

void ListReader::Carry(Slot* next) {
  Slot* const full = filling_;
  const std::size_t carried = full->filled - carry_;
  if (next == full) {
    std::memmove(full->bytes, full->bytes + carry_, carried);
  } else {
    if (next->capacity < carried) {
      next->grown = std::make_unique_for_overwrite<char[]>(carried);
      next->bytes = next->grown.get();
      next->capacity = carried;
    }
    std::memcpy(next->bytes, full->bytes + carry_, carried);
  }
  next->filled = carried;
  next->count = 0;
  filling_ = next;
}

void ListReader::Read() {
  for (bool more = true; more;) {
    try {
      more = Fill();
    } catch (const std::bad_alloc&) {
      failure_ = ENOMEM, list_ = count_;
      fd_.reset();
      more = true;  // the failure becomes the last piece
      continue;
    }
    if (more && !Hand()) break;
  }
  const std::lock_guard lock(mutex_);
  if (filling_->count > 0) ++handed_;
  done_reading_ = true;
  changed_.notify_all();
}

bool ListReader::Hand() {
  std::unique_lock lock(mutex_);
  if (filling_->count > 0) {
    ++handed_;
    changed_.notify_all();
  }
  changed_.wait(lock, [this] { return stopping_ || handed_ - consumed_ < kSlots; });
  if (stopping_) return false;
  // A slot with no pieces was not handed over and is filled again.
  Slot* const next = &slots_[handed_ % kSlots];
  lock.unlock();
  Carry(next);
  return true;
}

void ListReader::AddPiece(std::size_t begin, std::size_t end, int failure) {
  filling_->pieces[filling_->count++] = {list_, {filling_->bytes + begin, end - begin}, failure};
}

}  // namespace corvane::posix
