// The operating system for the core's tests: answers from tables keyed by what
// the core passes, faults at chosen calls, and counts of what it left open.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace corvane::testing {

// clang-format off
enum class Operation {
  kFindFirstFile, kFindNextFile, kFindClose, kGetFullPathName, kGetLongPathName,
  kSfcIsFileProtected, kSfcGetNextProtectedFile, kLoadLibrary, kFormatMessage, kLocalFree,
  kFreeLibrary, kBeep, kCommandLineToArgv, kMultiByteToWideChar, kWideCharToMultiByte, kCount
};
// clang-format on

// Call `call` (0 for the first) of `operation` fails with `code` and writes
// nothing; a call that releases something still releases it.
struct Fault {
  Operation operation;
  int call;
  std::uint32_t code;
};

class FakePlatform : public Platform {
 public:
  // Pattern -> names in order; an absent pattern, or one with no names, fails with 2.
  std::map<std::u16string, std::vector<std::u16string>> matches;
  // Name -> absolute path; an absent name is its own.
  std::map<std::u16string, std::u16string> full_paths;
  // Path -> what GetLongPathNameW returns, 0 failing with 2; an absent path is its own long form.
  std::map<std::u16string, std::uint32_t> long_lengths;
  // Path -> 0 when protected, else the code asking fails with; an absent path is not listed (2).
  std::map<std::u16string, std::uint32_t> answers;
  std::vector<std::u16string> protected_list;
  std::uint32_t list_end_error = kErrorNoMoreFiles;
  std::map<std::uint32_t, std::string> system_messages, network_messages;
  std::vector<Fault> faults;
  char16_t separator = u'\\';
  // The command line as the system splits it; if empty, main's arguments byte for byte.
  std::vector<std::u16string> command_line;
  // Output is UTF-8 (code page 65001); else, as all input, Narrow's bytes up to U+00FF.
  bool utf8 = false;
  std::uint32_t output_error = 0;  // a write that failed during the run
  bool console = false;            // standard output is a console; what it shows is kept as UTF-8
  // With output_error: the writes that succeed; the next one fails, and the core may know it.
  std::size_t good_writes = SIZE_MAX;

  std::string output;
  std::vector<std::size_t> write_sizes;
  int beeps = 0, flushes = 0, open_searches = 0, outstanding_messages = 0, loaded_modules = 0,
      faults_fired = 0, asked_after_output_failed = 0;

  Handle FindFirstFileW(const char16_t* pattern, FindData* data) override {
    auto found = matches.find(pattern);
    if (Faulted(Operation::kFindFirstFile)) return kInvalidHandleValue;
    if (found == matches.end() || found->second.empty())
      return Fail(kErrorFileNotFound), kInvalidHandleValue;
    searches_.push_back({found->second, 1});
    Store(data->cFileName, found->second.front());
    return ++open_searches, &searches_.back();
  }
  int FindNextFileW(Handle search, FindData* data) override {
    auto& [names, next] = *static_cast<Search*>(search);
    if (Faulted(Operation::kFindNextFile)) return 0;
    if (next == names.size()) return Fail(kErrorNoMoreFiles);
    return Store(data->cFileName, names[next++]), 1;
  }
  int FindClose(Handle) override { return --open_searches, !Faulted(Operation::kFindClose); }
  std::uint32_t GetFullPathNameW(const char16_t* name, std::uint32_t size, char16_t* buffer,
                                 char16_t** file_part) override {
    auto found = full_paths.find(name);
    const std::u16string full = found == full_paths.end() ? name : found->second;
    if (Faulted(Operation::kGetFullPathName)) return 0;
    if (full.size() + 1 > size) return static_cast<std::uint32_t>(full.size() + 1);
    *file_part = buffer;
    return Fill(buffer, full, size);
  }
  std::uint32_t GetLongPathNameW(const char16_t* short_path, char16_t* long_path,
                                 std::uint32_t size) override {
    const std::u16string path = short_path;
    auto found = long_lengths.find(path);
    const auto length = found == long_lengths.end() ? std::uint32_t(path.size()) : found->second;
    if (Faulted(Operation::kGetLongPathName)) return 0;
    if (length == 0) return Fail(kErrorFileNotFound);
    if (path.size() + 1 <= size) Fill(long_path, path, size);
    return length;
  }
  int SfcIsFileProtected(Handle, const char16_t* path) override {
    auto found = answers.find(path);
    if (Faulted(Operation::kSfcIsFileProtected)) return 0;
    if (found != answers.end() && found->second == 0) return 1;
    return Fail(found == answers.end() ? kErrorFileNotFound : found->second);
  }
  int SfcGetNextProtectedFile(Handle, ProtectedFileData* data) override {
    if (Faulted(Operation::kSfcGetNextProtectedFile)) return 0;
    if (data->FileNumber >= protected_list.size()) return Fail(list_end_error);
    return Store(data->FileName, protected_list[data->FileNumber++]), 1;
  }
  std::uint32_t GetLastError() override { return last_error_; }
  Module LoadLibraryExW(const char16_t*, Handle, std::uint32_t) override {
    if (Faulted(Operation::kLoadLibrary)) return nullptr;
    return ++loaded_modules, &network_module_;
  }
  std::uint32_t FormatMessageA(std::uint32_t flags, const void* source, std::uint32_t code,
                               std::uint32_t, char* buffer, std::uint32_t, void*) override {
    const bool module = (flags & kFormatMessageFromHmodule) != 0 && source == &network_module_;
    std::string text = module ? network_messages[code] : "";
    if (text.empty()) text = system_messages[code];
    // As the system: no text is a failure, with nothing allocated to free.
    if (Faulted(Operation::kFormatMessage) || text.empty()) return 0;
    *reinterpret_cast<char**>(buffer) = strdup(text.c_str());
    return ++outstanding_messages, static_cast<std::uint32_t>(text.size());
  }
  void* LocalFree(void* memory) override {
    std::free(memory);
    // A failed LocalFree returns something other than null; the block is gone anyway.
    return --outstanding_messages, Faulted(Operation::kLocalFree) ? this : nullptr;
  }
  int FreeLibrary(Module) override { return --loaded_modules, !Faulted(Operation::kFreeLibrary); }
  int Beep(std::uint32_t, std::uint32_t) override { return ++beeps, !Faulted(Operation::kBeep); }
  void WriteStandardOutput(const char* bytes, std::size_t count) override {
    if (write_sizes.size() < good_writes) output.append(bytes, count);
    write_sizes.push_back(count);
  }
  std::uint32_t FlushStandardOutput() override { return ++flushes, output_error; }
  std::uint32_t StandardOutputError() override {
    return write_sizes.size() > good_writes ? output_error : 0;
  }
  char16_t** CommandLineToArgvW(int argc, const char* const* argv, int* count) override {
    if (Faulted(Operation::kCommandLineToArgv)) return nullptr;
    std::vector<std::u16string> texts = command_line;
    for (int i = 0; command_line.empty() && i < argc; ++i)
      texts.push_back(Widen(argv[i], std::strlen(argv[i])));
    // One block, as the system hands it out: the pointers, then the texts.
    std::size_t size = (texts.size() + 1) * sizeof(char16_t*);
    for (const auto& text : texts) size += (text.size() + 1) * sizeof(char16_t);
    auto** block = static_cast<char16_t**>(std::calloc(1, size));
    auto* next = reinterpret_cast<char16_t*>(block + texts.size() + 1);
    for (std::size_t i = 0; i < texts.size(); ++i)
      next = std::copy(texts[i].begin(), texts[i].end(), block[i] = next) + 1;
    *count = static_cast<int>(texts.size());
    return ++outstanding_messages, block;
  }
  int MultiByteToWideChar(std::uint32_t, std::uint32_t, const char* text, int count, char16_t* wide,
                          int wide_count) override {
    if (Faulted(Operation::kMultiByteToWideChar)) return 0;
    return Deliver(Widen(text, count < 0 ? std::strlen(text) + 1 : std::size_t(count)), wide,
                   wide_count);
  }
  int WideCharToMultiByte(std::uint32_t, std::uint32_t, const char16_t* wide, int count, char* text,
                          int text_count, const char*, int*) override {
    if (Faulted(Operation::kWideCharToMultiByte)) return 0;
    const std::u16string units(
        wide, count < 0 ? std::char_traits<char16_t>::length(wide) + 1 : std::size_t(count));
    return Deliver(Narrow(units, utf8), text, text_count);
  }
  bool StandardOutputIsConsole() const override { return console; }
  void WriteConsoleW(const char16_t* text, std::size_t count) override {
    output += Narrow(std::u16string(text, count), true);
    write_sizes.push_back(count);
  }
  char16_t DirectorySeparator() const override { return separator; }
  int ExitStatus(std::uint32_t run_status) const override { return static_cast<int>(run_status); }

 private:
  using Search = std::pair<std::vector<std::u16string>, std::size_t>;  // names, the next one

  // UTF-8, or a byte per character up to U+00FF and '?' for any other.
  static std::string Narrow(const std::u16string& units, bool utf8) {
    std::string converted;
    for (std::size_t i = 0; i < units.size(); ++i) {
      const bool pair =
          i + 1 < units.size() && units[i] >> 10 == 0x36 && units[i + 1] >> 10 == 0x37;
      const char32_t c =
          pair ? 0x10000 + ((units[i] - 0xD800) << 10) + (units[i + 1] - 0xDC00) : units[i];
      i += pair;
      if (!utf8) {
        converted += c <= 0xFF ? char(c) : '?';
        continue;
      }
      const int n = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
      constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
      converted += char(n == 1 ? c : kLead[n] | c >> 6 * (n - 1));
      for (int k = n - 2; k >= 0; --k) converted += char(0x80 | (c >> 6 * k & 0x3F));
    }
    return converted;
  }
  int Fail(std::uint32_t code) { return last_error_ = code, 0; }
  // Counts the call; true when a fault makes this one fail.
  bool Faulted(Operation operation) {
    const int call = calls_[static_cast<int>(operation)]++;
    // Releasing what was taken and converting text are not asking.
    const bool asks = operation < Operation::kLocalFree ? operation != Operation::kFindClose
                                                        : operation == Operation::kBeep;
    asked_after_output_failed += asks && StandardOutputError() != 0;
    for (const Fault& f : faults)
      if (f.operation == operation && f.call == call) return ++faults_fired, Fail(f.code), true;
    return false;
  }
  // As the least helpful system would: cut to fit, terminated only when there is room.
  template <std::size_t N>
  static void Store(char16_t (&field)[N], const std::u16string& text) {
    std::fill(std::copy_n(text.begin(), std::min(text.size(), N), field), field + N, u'\0');
  }
  // Writes `text` and its terminator, and fills the rest of the `size` the core
  // claimed, as a system may: a size larger than the buffer shows as an overrun.
  static std::uint32_t Fill(char16_t* buffer, const std::u16string& text, std::uint32_t size) {
    std::fill(std::copy(text.begin(), text.end(), buffer), buffer + size, u'~');
    return buffer[text.size()] = 0, static_cast<std::uint32_t>(text.size());
  }

  static std::u16string Widen(const char* text, std::size_t count) {
    std::u16string wide;
    for (std::size_t i = 0; i < count; ++i) wide += static_cast<unsigned char>(text[i]);
    return wide;
  }
  // As the system: the size needed when `room` is 0, a failure (122) when it is too small.
  template <class Text, class Unit>
  int Deliver(const Text& converted, Unit* out, int room) {
    if (room == 0) return int(converted.size());
    if (converted.size() > std::size_t(room)) return Fail(122);
    return std::copy(converted.begin(), converted.end(), out), int(converted.size());
  }
  std::uint32_t last_error_ = 0;
  std::deque<Search> searches_;
  int calls_[static_cast<int>(Operation::kCount)] = {};
  int network_module_ = 0;
};

}  // namespace corvane::testing
