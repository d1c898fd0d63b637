// A scriptable stand-in for the operating system, for the core's tests.
//
// Answers come from tables keyed by the text the core passes (a pattern, a
// path, an error code); a fault can be injected at one exact call. Counters
// show what the core left open or unfreed.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace corvane::testing {

// One scripted answer: the value the operation returns and the code that
// GetLastError gives afterwards (left as it was when nullopt).
struct Outcome {
  std::uint32_t result = 0;
  std::optional<std::uint32_t> error;
};

// The operations a fault can be injected into.
enum class Operation {
  kFindFirstFile,
  kFindNextFile,
  kFindClose,
  kGetFullPathName,
  kGetLongPathName,
  kSfcIsFileProtected,
  kSfcGetNextProtectedFile,
  kLoadLibrary,
  kFormatMessage,
  kLocalFree,
  kFreeLibrary,
  kBeep,
  kCount
};

// Call number `call` (0 for the first) of `operation` fails: it returns the
// operation's failing value, writes nothing and leaves `code` as the last
// error. Operations that release something still release it.
struct Fault {
  Operation operation;
  int call;
  std::uint32_t code;
};

class FakePlatform : public Platform {
 public:
  // Directory search: pattern -> names delivered in order. A pattern not in
  // the table (or with no names) fails to start with code 2.
  std::map<std::u16string, std::vector<std::u16string>> matches;

  // Full path: name -> absolute path; a name not in the table maps to itself.
  std::map<std::u16string, std::u16string> full_paths;
  // Long path: path -> outcome. Absent paths exist: their length is returned.
  std::map<std::u16string, Outcome> long_paths;
  // Protection: protected paths answer nonzero; `query_errors` gives the
  // code for others (absent: 2, not on the list).
  std::map<std::u16string, bool> protected_paths;
  std::map<std::u16string, std::uint32_t> query_errors;

  // The list the walk serves, then the code it ends with.
  std::vector<std::u16string> protected_list;
  std::uint32_t list_end_error = kErrorNoMoreFiles;

  // Message texts by code, from the system and from the network module.
  std::map<std::uint32_t, std::string> system_messages;
  std::map<std::uint32_t, std::string> network_messages;
  bool network_module_loads = true;

  // Faults to inject, checked before every other answer.
  std::vector<Fault> faults;

  char16_t separator = u'\\';
  // What FlushStandardOutput reports: a write that failed during the run.
  std::uint32_t output_error = 0;

  // What the core did.
  std::string output;
  std::vector<std::size_t> write_sizes;
  int beeps = 0;
  int flushes = 0;
  int open_searches = 0;
  int outstanding_messages = 0;
  int loaded_modules = 0;
  int faults_fired = 0;

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
  char16_t DirectorySeparator() const override { return separator; }
  int ExitStatus(std::uint32_t run_status) const override { return static_cast<int>(run_status); }

 private:
  struct Search {
    std::vector<std::u16string> names;
    std::size_t next = 0;
  };
  // Counts a call of `operation`; true when a fault makes this one fail.
  bool Faulted(Operation operation);

  std::uint32_t last_error_ = 0;
  std::deque<Search> searches_;
  int operation_calls_[static_cast<int>(Operation::kCount)] = {};
};

// Narrow text for assertions (characters above U+00FF as '?').
std::string Narrow(const std::u16string& text);

}  // namespace corvane::testing
