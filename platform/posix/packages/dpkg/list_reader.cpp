#include "platform/posix/packages/dpkg/list_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "platform/posix/packages/large_pages.h"

namespace corvane::posix {

ListReader::ListReader(std::size_t count, Opener open, Done done, bool ahead)
    : count_(count),
      open_(std::move(open)),
      done_(std::move(done)),
      slot_count_(ahead ? kSlots : 1),
      // A second thread's slots fill one huge page: one fault instead of 512.
      block_(AllocateLarge(slot_count_ * kSlotBytes)) {
  for (std::size_t s = 0; s < slot_count_; ++s)
    slots_[s].bytes = static_cast<char*>(block_) + s * kSlotBytes;
  if (!ahead) return;
  try {
    thread_ = std::thread([this] { Read(); });
  } catch (const std::system_error&) {
    // The caller reads the lists itself.
  }
}

ListReader::~ListReader() {
  if (thread_.joinable()) {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    lock.unlock();
    changed_.notify_all();
    thread_.join();
  }
  FreeLarge(block_, slot_count_ * kSlotBytes);
}

bool ListReader::Next(Piece* piece) {
  if (reading_ == nullptr || next_piece_ >= reading_->count) {
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
    next_piece_ = 0;
  }
  *piece = reading_->pieces[next_piece_++];
  return true;
}

bool ListReader::Fill() {
  Slot& slot = *filling_;
  while (list_ < count_) {
    if (!fd_.valid()) {
      // A list adds at most one piece to a slot before the slot is handed over.
      if (slot.count == kPiecesPerSlot) break;
      if (const int failure = open_(list_, &fd_); failure != 0) {
        if (failure != ENOENT) return Stop(failure);
        ++list_;
        continue;
      }
      offset_ = 0;
      start_ = slot.filled;
    }
    if (slot.filled == kSlotBytes) {
      std::size_t end = slot.filled;
      while (end > start_ && slot.bytes[end - 1] != '\n') --end;
      // A line longer than a slot (64 paths' limit) names no askable path: read past it.
      if (end == 0) {
        slot.filled = 0;
        skipping_ = true;
        continue;
      }
      // The incomplete line goes on in the next slot.
      if (end > start_) AddPiece(start_, end, 0);
      start_ = 0;
      carry_ = end;
      return true;
    }
    const std::size_t asked = kSlotBytes - slot.filled;
    ssize_t got;
    while ((got = pread(fd_.get(), slot.bytes + slot.filled, asked, offset_)) < 0 &&
           errno == EINTR) {
    }
    if (got < 0) return Stop(errno);
    offset_ += got;
    slot.filled += static_cast<std::size_t>(got);
    if (skipping_) {
      // An empty line takes its place, so that the lines still count.
      const auto* const newline = static_cast<char*>(std::memchr(slot.bytes, '\n', slot.filled));
      const std::size_t at = newline == nullptr ? slot.filled : newline - slot.bytes;
      std::memmove(slot.bytes, slot.bytes + at, slot.filled - at);
      slot.filled -= at;
      skipping_ = newline == nullptr;
    }
    // A short read ends a regular file, and leaves room for a last '\n'.
    if (static_cast<std::size_t>(got) < asked) {
      supplied_end_ = std::exchange(skipping_, false) ||
                      (slot.filled > start_ && slot.bytes[slot.filled - 1] != '\n');
      if (supplied_end_) slot.bytes[slot.filled++] = '\n';
      if (slot.filled > start_) AddPiece(start_, slot.filled, 0);
      if (done_) done_(list_, std::move(fd_));
      fd_.reset();
      ++list_;
    }
  }
  carry_ = slot.filled;
  return list_ < count_;
}

bool ListReader::Stop(int failure) {
  // The list that failed has added no piece to this slot yet: there is room.
  fd_.reset();
  AddPiece(filling_->filled, filling_->filled, failure);
  list_ = count_;
  carry_ = filling_->filled;
  return false;
}

void ListReader::Carry(Slot* next) {
  const std::size_t carried = filling_->filled - carry_;
  std::memmove(next->bytes, filling_->bytes + carry_, carried);
  next->filled = carried;
  next->count = 0;
  filling_ = next;
}

void ListReader::Read() {
  while (Fill() && Hand()) {
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
