// The program's standard output: bytes as they come, no line-end rewriting.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvane::posix {

class OutputChannel {
 public:
  // A pipe's whole buffer: fewer, larger writes for a long listing.
  static constexpr std::size_t kBlockSize = 65536;

  // Writes to the open descriptor `fd`, which it does not own; whether that
  // is a terminal is asked once, here.
  explicit OutputChannel(int fd);
  OutputChannel(const OutputChannel&) = delete;
  OutputChannel& operator=(const OutputChannel&) = delete;

  // A terminal gets each piece at once; anything else gets whole blocks of
  // kBlockSize bytes as they fill. A descriptor that does not block is
  // waited on while it is full. Once a write has failed, writes nothing.
  void Write(const char* bytes, std::size_t count);
  // Writes out what the current block holds.
  void Flush();
  // The Win32 code of the first write that failed; 0 while none has.
  std::uint32_t error() const { return error_; }

 private:
  void WriteAll(const char* bytes, std::size_t count);

  int fd_;
  bool terminal_;
  std::array<char, kBlockSize> block_{};
  std::size_t used_ = 0;
  std::uint32_t error_ = 0;
};

}  // namespace corvane::posix
