#include "platform/windows/standard_output.h"

#include <algorithm>

namespace corvane {

StandardOutput::StandardOutput() : handle_(::GetStdHandle(STD_OUTPUT_HANDLE)) {
  if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) {
    error_ = ERROR_INVALID_HANDLE;
    return;
  }
  DWORD mode = 0;
  console_ = ::GetConsoleMode(handle_, &mode) != 0;
}

void StandardOutput::Write(const char* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count && error_ == ERROR_SUCCESS; ++i) {
    // Room for a line feed and the carriage return before it.
    if (used_ + 2 > block_.size()) Flush();
    if (bytes[i] == '\n') block_[used_++] = '\r';
    block_[used_++] = bytes[i];
  }
}

void StandardOutput::WriteWide(const wchar_t* text, std::size_t count) {
  // Each run up to a line feed goes as it is; the line feed as CR LF.
  while (count > 0 && error_ == ERROR_SUCCESS) {
    const std::size_t run = static_cast<std::size_t>(std::find(text, text + count, L'\n') - text);
    WriteAllWide(text, run);
    if (run == count) break;
    WriteAllWide(L"\r\n", 2);
    text += run + 1;
    count -= run + 1;
  }
}

DWORD StandardOutput::Flush() {
  WriteAll(block_.data(), used_);
  used_ = 0;
  return error_;
}

void StandardOutput::WriteAll(const char* data, std::size_t count) {
  while (count > 0 && error_ == ERROR_SUCCESS) {
    DWORD written = 0;
    ::SetLastError(ERROR_SUCCESS);
    if (!::WriteFile(handle_, data, static_cast<DWORD>(count), &written, nullptr) || written == 0) {
      error_ = FailureCode();
      return;
    }
    data += written;
    count -= written;
  }
}

void StandardOutput::WriteAllWide(const wchar_t* text, std::size_t count) {
  while (count > 0 && error_ == ERROR_SUCCESS) {
    DWORD written = 0;
    ::SetLastError(ERROR_SUCCESS);
    if (!::WriteConsoleW(handle_, text, static_cast<DWORD>(count), &written, nullptr) ||
        written == 0) {
      error_ = FailureCode();
      return;
    }
    text += written;
    count -= written;
  }
}

DWORD StandardOutput::FailureCode() {
  const DWORD code = ::GetLastError();
  return code != ERROR_SUCCESS ? code : ERROR_WRITE_FAULT;
}

}  // namespace corvane
