#include "platform/posix/packages/dpkg/list_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include "platform/posix/packages/large_pages.h"

namespace corvane::posix {
namespace {

// ReadList's answer when the caller wants no more.
constexpr int kStopped = -1;
constexpr std::size_t kFirstCapacity = 64 * 1024;

}  // namespace

void LineBuffer::Grow(std::size_t larger, std::size_t keep) {
  auto bigger = std::make_unique_for_overwrite<char[]>(larger);
  if (keep > 0) std::memcpy(bigger.get(), bytes, keep);
  grown = std::move(bigger);
  bytes = grown.get();
  capacity = larger;
}

int LineBuffer::Read(int fd, off_t* offset, bool* ended) {
  const std::size_t asked = capacity - filled;
  ssize_t got;
  while ((got = pread(fd, bytes + filled, asked, *offset)) < 0 && errno == EINTR) {
  }
  if (got < 0) return errno;
  *offset += got;
  filled += static_cast<std::size_t>(got);
  // No read is needed to learn that a regular file ended; the short read
  // leaves room for the last '\n'.
  *ended = static_cast<std::size_t>(got) < asked;
  supplied_end = *ended && filled > 0 && bytes[filled - 1] != '\n';
  if (supplied_end) bytes[filled++] = '\n';
  return 0;
}

std::size_t LineBuffer::WholeLinesEnd(std::size_t from) const {
  std::size_t end = filled;
  while (end > from && bytes[end - 1] != '\n') --end;
  return end;
}

void LineReader::Start(int fd) {
  fd_ = fd;
  buffer_.filled = handed_ = 0;
  offset_ = 0;
  ended_ = false;
}

int LineReader::Next(std::span<char>* lines) {
  // What was handed out is done with; an incomplete line moves to the front.
  LineBuffer& buffer = buffer_;
  buffer.filled -= handed_;
  if (handed_ > 0) std::memmove(buffer.bytes, buffer.bytes + handed_, buffer.filled);
  handed_ = 0;
  *lines = {};
  while (!ended_) {
    // A line longer than the buffer: it grows to hold it.
    if (buffer.filled == buffer.capacity)
      buffer.Grow(std::max(buffer.capacity * 2, kFirstCapacity), buffer.filled);
    // Only the bytes read now can end the last whole line.
    const std::size_t fresh = buffer.filled;
    if (const int failure = buffer.Read(fd_, &offset_, &ended_); failure != 0) return failure;
    handed_ = ended_ ? buffer.filled : buffer.WholeLinesEnd(fresh);
    if (handed_ > fresh || (ended_ && handed_ > 0)) {
      *lines = {buffer.bytes, handed_};
      return 0;
    }
    handed_ = 0;
  }
  return 0;
}

ReadAhead::ReadAhead(std::size_t count, Opener open) : count_(count), open_(std::move(open)) {
  // The slots together fill one huge page: a single fault instead of 512.
  try {
    block_ = AllocateLarge(kSlots * kSlotBytes);
  } catch (const std::bad_alloc&) {
    return;
  }
  for (std::size_t s = 0; s < kSlots; ++s) {
    slots_[s].buffer.bytes = static_cast<char*>(block_) + s * kSlotBytes;
    slots_[s].buffer.capacity = kSlotBytes;
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
      const std::size_t end = filling_->buffer.filled;
      if (filling_->count == kPiecesPerSlot && !Hand(end)) break;
      AddPiece(list, filling_->buffer.filled, filling_->buffer.filled, failure);
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
  if (filling_->count == kPiecesPerSlot && !Hand(filling_->buffer.filled)) return kStopped;
  std::size_t start = filling_->buffer.filled;  // where this list's bytes begin in the slot
  off_t offset = 0;
  for (bool ended = false; !ended;) {
    LineBuffer& buffer = filling_->buffer;
    if (buffer.filled == buffer.capacity) {
      const std::size_t end = buffer.WholeLinesEnd(start);
      if (end == 0) {
        // One line longer than a slot: this slot grows to hold it.
        buffer.Grow(buffer.capacity * 2, buffer.filled);
        continue;
      }
      // The incomplete line goes on in the next slot.
      if (end > start) AddPiece(list, start, end, 0);
      if (!Hand(end)) return kStopped;
      start = 0;
      continue;
    }
    if (const int failure = buffer.Read(fd, &offset, &ended); failure != 0) return failure;
  }
  if (filling_->buffer.filled > start) AddPiece(list, start, filling_->buffer.filled, 0);
  return 0;
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
  const std::size_t carried = full->buffer.filled - carry_from;
  if (next == full) {
    std::memmove(full->buffer.bytes, full->buffer.bytes + carry_from, carried);
  } else {
    next->count = 0;
    if (next->buffer.capacity < carried) next->buffer.Grow(carried, 0);
    std::memcpy(next->buffer.bytes, full->buffer.bytes + carry_from, carried);
  }
  next->buffer.filled = carried;
  filling_ = next;
  return true;
}

void ReadAhead::AddPiece(std::size_t list, std::size_t begin, std::size_t end, int failure) {
  filling_->pieces[filling_->count++] = {list, {filling_->buffer.bytes + begin, end - begin}, failure};
}

}  // namespace corvane::posix
