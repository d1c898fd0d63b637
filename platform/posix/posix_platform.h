// The platform operations on a POSIX system. This folder holds only code
// that gives a Windows call its meaning on POSIX (paths, wildcards,
// directory search, error codes and texts, standard output); what a package
// manager records is asked through packages/. File names are bytes, carried
// as the characters U+0000 to U+00FF of the same value.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/packages/package_database.h"
#include "platform/posix/standard_output.h"

namespace corvane::posix {

class PosixPlatform final : public Platform {
 public:
  // Answers protection questions from `database`, writes the program's
  // text to `output_fd` and beeps on `beep_fd`; it owns none of them. An
  // allocation that fails makes the operation fail with error 8.
  explicit PosixPlatform(PackageDatabase& database, int output_fd = STDOUT_FILENO,
                         int beep_fd = STDERR_FILENO);
  // Writes out what standard output still holds.
  ~PosixPlatform() override;

  Handle FindFirstFileW(const char16_t* pattern, FindData* data) override;
  int FindNextFileW(Handle search, FindData* data) override;
  int FindClose(Handle search) override;
  std::uint32_t GetFullPathNameW(const char16_t* name, std::uint32_t size, char16_t* buffer,
                                 char16_t** file_part) override;
  std::uint32_t GetLongPathNameW(const char16_t* short_path, char16_t* long_path,
                                 std::uint32_t size) override;
  int SfcIsFileProtected(Handle rpc, const char16_t* path) override;
  int SfcGetNextProtectedFile(Handle rpc, ProtectedFileData* data) override;
  std::uint32_t GetLastError() override { return last_error_; }
  Module LoadLibraryExW(const char16_t* name, Handle file, std::uint32_t flags) override;
  std::uint32_t FormatMessageA(std::uint32_t flags, const void* source, std::uint32_t message_id,
                               std::uint32_t language_id, char* buffer, std::uint32_t size,
                               void* arguments) override;
  void* LocalFree(void* memory) override;
  int FreeLibrary(Module module) override;
  int Beep(std::uint32_t frequency, std::uint32_t duration_ms) override;
  void WriteStandardOutput(const char* bytes, std::size_t count) override;
  std::uint32_t FlushStandardOutput() override;
  std::uint32_t StandardOutputError() override { return output_.error(); }
  char16_t** CommandLineToArgvW(int argc, const char* const* argv, int* count) override;
  int MultiByteToWideChar(std::uint32_t code_page, std::uint32_t flags, const char* text, int count,
                          char16_t* wide, int wide_count) override;
  int WideCharToMultiByte(std::uint32_t code_page, std::uint32_t flags, const char16_t* wide,
                          int count, char* text, int text_count, const char* default_char,
                          int* used_default) override;
  char16_t DirectorySeparator() const override { return u'/'; }
  // A status above 255 exits as 255: POSIX keeps only 8 bits of it.
  int ExitStatus(std::uint32_t run_status) const override;

 private:
  // Records `code` as the last error and returns 0, the failing result.
  std::uint32_t Fail(std::uint32_t code);
  // Records `code` as the last error and returns the invalid handle.
  Handle FailSearch(std::uint32_t code);

  PackageDatabase& database_;
  OutputChannel output_;
  int beep_fd_;
  std::uint32_t last_error_ = kErrorSuccess;

  std::string scratch_;     // the bytes of the path in hand
  std::string just_found_;  // the last name FindFirstFileW found, until looked at
  bool patterned_ = false;  // whether a search for a pattern came: many questions follow
};

}  // namespace corvane::posix
