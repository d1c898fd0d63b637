// Reads the lists a piece of whole lines at a time into slots the caller parses. Where asked and
// possible, a second thread opens and reads them (half of a walk) meanwhile: on this project's
// 2-core Debian 12 VM `corvane /l` 15% faster, `corvane /usr/bin/*` 13%. (Half the lists on each
// thread was slower: file reads there do not scale with one process's threads.)
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

#include "platform/posix/posix_handles.h"

namespace corvane::posix {

class ListReader {
 public:
  // Opens list `list` as *fd: 0; ENOENT to pass it over; or the errno that ends the reading.
  using Opener = std::function<int(std::size_t list, UniqueFd* fd)>;
  // Takes the descriptor of list `list` once it is read.
  using Done = std::function<void(std::size_t list, UniqueFd fd)>;

  // Reads the lists 0 up to `count`, each opened with `open` and, once
  // read, handed to `done` (or closed). With `ahead`, a second thread reads
  // them where one can be started. bad_alloc when memory runs out.
  ListReader(std::size_t count, Opener open, Done done = {}, bool ahead = false);
  // Stops the reading, however far it got, and waits for the thread.
  ~ListReader();

  struct Piece {
    std::size_t list = 0;
    std::span<char> lines;  // whole lines, each ending in '\n'
    int failure = 0;        // or the errno that ended the reading, as the last piece
  };
  // The next piece of the lists, in order, in *piece (valid until the next call; its bytes may be
  // rewritten); false once all are read. A last line without its '\n' gets one.
  bool Next(Piece* piece);
  // Whether the last list read ended in a line without its '\n'.
  bool supplied_last_line_end() const { return supplied_end_; }

 private:
  static constexpr std::size_t kSlots = 8;
  static constexpr std::size_t kSlotBytes = std::size_t{256} << 10;
  static constexpr std::size_t kPiecesPerSlot = 64;

  // Read bytes handed over together: pieces of one list or of several.
  struct Slot {
    char* bytes = nullptr;
    std::size_t filled = 0;
    Piece pieces[kPiecesPerSlot];
    std::size_t count = 0;
  };

  // Reads into the slot being filled until it is to be handed over (true) or
  // all is read (false); carry_ is then where the next slot's bytes begin.
  bool Fill();
  // Ends the reading with `failure` as its last piece: false.
  bool Stop(int failure);
  // Starts filling `next` with the bytes from carry_ on of the slot filled.
  void Carry(Slot* next);
  void Read();  // the thread's work
  // Hands the slot filled over if it holds pieces and takes the next: false to stop.
  bool Hand();
  // Adds bytes `begin` up to `end` of the slot being filled as a piece.
  void AddPiece(std::size_t begin, std::size_t end, int failure);

  std::size_t count_;
  Opener open_;
  Done done_;
  std::size_t slot_count_;
  void* block_;  // the slots' bytes
  Slot slots_[kSlots];

  // Where the reading is, on whichever thread reads.
  Slot* filling_ = &slots_[0];
  std::size_t list_ = 0;   // the list being read
  UniqueFd fd_;            // its descriptor, while it is open
  off_t offset_ = 0;       // where its next bytes are
  std::size_t start_ = 0;  // where its bytes begin in the slot
  std::size_t carry_ = 0;
  bool skipping_ = false;  // whether a line too long for a slot is being read past
  bool supplied_end_ = false;
  bool more_ = true;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t handed_ = 0;     // slots handed over so far
  std::size_t consumed_ = 0;   // of those, slots the caller is done with
  bool done_reading_ = false;  // no more slots will come
  bool stopping_ = false;      // the caller wants no more

  // Used by the caller only.
  Slot* reading_ = nullptr;
  std::size_t next_piece_ = 0;

  std::thread thread_;  // last: it starts when everything above is ready
};

}  // namespace corvane::posix
