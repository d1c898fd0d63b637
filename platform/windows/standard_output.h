// The program's standard output on Windows, written with the system's own
// calls: the C runtime fails a write to a closed stream without one, which
// leaves no code of its own to report.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

namespace corvane {

class StandardOutput {
 public:
  // Redirected output is written in blocks of this many bytes.
  static constexpr std::size_t kBlockSize = 4096;

  // Takes the process's standard output handle and asks once whether it is
  // a console. Without a handle (closed, or never given) every write fails
  // with ERROR_INVALID_HANDLE.
  StandardOutput();
  StandardOutput(const StandardOutput&) = delete;
  StandardOutput& operator=(const StandardOutput&) = delete;

  bool console() const { return console_; }
  // The code of the first write that failed, or 0 while none has.
  DWORD error() const { return error_; }
  // Bytes in text mode (each line feed after a carriage return), kept until
  // a block is full. Once a write has failed, writes nothing.
  void Write(const char* bytes, std::size_t count);
  // Wide text to the console at once, line feeds as in Write.
  void WriteWide(const wchar_t* text, std::size_t count);
  // Writes out what the block holds; returns the code of the first write
  // that failed, or ERROR_SUCCESS.
  DWORD Flush();

 private:
  // Writes all of `data`, or records the failure's code.
  void WriteAll(const char* data, std::size_t count);
  void WriteAllWide(const wchar_t* text, std::size_t count);
  // The code of the write that just failed: the system's, set for that
  // call alone, or ERROR_WRITE_FAULT for one that took nothing and said
  // nothing.
  static DWORD FailureCode();

  HANDLE handle_;
  bool console_ = false;
  DWORD error_ = ERROR_SUCCESS;
  std::array<char, kBlockSize> block_;
  std::size_t used_ = 0;
};

}  // namespace corvane
