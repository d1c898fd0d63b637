// The Windows side of the seam: only Win32 code here. Each operation is the
// Win32 call of the same name, so its meaning is the one every other platform
// reproduces. Every call is bound at load time through the import libraries.
// windows.h first: the other Win32 headers use its types.
// clang-format off
#include <windows.h>
#include <sfc.h>
#include <shellapi.h>
// clang-format on

#include <algorithm>
#include <cstddef>
#include <cwchar>

#include "platform/platform.h"
#include "platform/windows/standard_output.h"

namespace corvane {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

static_assert(sizeof(FindData) == sizeof(WIN32_FIND_DATAW));
static_assert(offsetof(FindData, dwFileAttributes) == offsetof(WIN32_FIND_DATAW, dwFileAttributes));
static_assert(offsetof(FindData, nFileSizeHigh) == offsetof(WIN32_FIND_DATAW, nFileSizeHigh));
static_assert(offsetof(FindData, cFileName) == offsetof(WIN32_FIND_DATAW, cFileName));
static_assert(offsetof(FindData, cAlternateFileName) ==
              offsetof(WIN32_FIND_DATAW, cAlternateFileName));

static_assert(sizeof(ProtectedFileData) == sizeof(PROTECTED_FILE_DATA));
static_assert(offsetof(ProtectedFileData, FileName) == offsetof(PROTECTED_FILE_DATA, FileName));
static_assert(offsetof(ProtectedFileData, FileNumber) == offsetof(PROTECTED_FILE_DATA, FileNumber));

static_assert(kMaxPath == MAX_PATH);
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(kErrorPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kErrorNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY);
static_assert(kErrorNoMoreFiles == ERROR_NO_MORE_FILES);
static_assert(kErrorInvalidName == ERROR_INVALID_NAME);
static_assert(kErrorFilenameExcedRange == ERROR_FILENAME_EXCED_RANGE);
static_assert(kFormatMessageAllocateBuffer == FORMAT_MESSAGE_ALLOCATE_BUFFER);
static_assert(kFormatMessageIgnoreInserts == FORMAT_MESSAGE_IGNORE_INSERTS);
static_assert(kFormatMessageFromHmodule == FORMAT_MESSAGE_FROM_HMODULE);
static_assert(kFormatMessageFromSystem == FORMAT_MESSAGE_FROM_SYSTEM);
static_assert(kLangNeutralSublangDefault == MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT));
static_assert(kLoadLibraryAsDatafile == LOAD_LIBRARY_AS_DATAFILE);
static_assert(kLoadLibrarySearchSystem32 == LOAD_LIBRARY_SEARCH_SYSTEM32);
static_assert(kCodePageAnsi == CP_ACP);
static_assert(kWcNoBestFitChars == WC_NO_BEST_FIT_CHARS);

LPCWSTR Wide(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }
LPWSTR Wide(char16_t* text) { return reinterpret_cast<LPWSTR>(text); }

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

class WindowsPlatform final : public Platform {
 public:
  WindowsPlatform() : utf8_ansi_(::GetACP() == CP_UTF8) {}

  Handle FindFirstFileW(const char16_t* pattern, FindData* data) override {
    return ::FindFirstFileW(Wide(pattern), reinterpret_cast<WIN32_FIND_DATAW*>(data));
  }
  int FindNextFileW(Handle search, FindData* data) override {
    return ::FindNextFileW(search, reinterpret_cast<WIN32_FIND_DATAW*>(data));
  }
  int FindClose(Handle search) override { return ::FindClose(search); }

  std::uint32_t GetFullPathNameW(const char16_t* name, std::uint32_t size, char16_t* buffer,
                                 char16_t** file_part) override {
    return ::GetFullPathNameW(Wide(name), size, Wide(buffer), reinterpret_cast<LPWSTR*>(file_part));
  }
  std::uint32_t GetLongPathNameW(const char16_t* short_path, char16_t* long_path,
                                 std::uint32_t size) override {
    return ::GetLongPathNameW(Wide(short_path), Wide(long_path), size);
  }

  int SfcIsFileProtected(Handle rpc, const char16_t* path) override {
    return ::SfcIsFileProtected(rpc, Wide(path));
  }
  int SfcGetNextProtectedFile(Handle rpc, ProtectedFileData* data) override {
    return ::SfcGetNextProtectedFile(rpc, reinterpret_cast<PROTECTED_FILE_DATA*>(data));
  }

  // Read as is: the core asks right after the call that failed, with no other
  // Win32 call between.
  std::uint32_t GetLastError() override { return ::GetLastError(); }

  // With LOAD_LIBRARY_SEARCH_SYSTEM32 the name is put in the system's
  // directory first: Wine looks for a data file beside the program too,
  // whatever the flag says, and a path leaves it no other place.
  Module LoadLibraryExW(const char16_t* name, Handle file, std::uint32_t flags) override {
    if ((flags & LOAD_LIBRARY_SEARCH_SYSTEM32) == 0)
      return ::LoadLibraryExW(Wide(name), file, flags);
    wchar_t path[MAX_PATH];
    const std::size_t length = ::GetSystemDirectoryW(path, MAX_PATH);
    const std::size_t name_length = std::wcslen(Wide(name));
    if (length == 0 || length + 1 + name_length >= MAX_PATH) return nullptr;
    path[length] = L'\\';
    std::copy(Wide(name), Wide(name) + name_length + 1, path + length + 1);
    return ::LoadLibraryExW(path, file, flags);
  }
  std::uint32_t FormatMessageA(std::uint32_t flags, const void* source, std::uint32_t message_id,
                               std::uint32_t language_id, char* buffer, std::uint32_t size,
                               void* arguments) override {
    return ::FormatMessageA(flags, source, message_id, language_id, buffer, size,
                            static_cast<va_list*>(arguments));
  }
  void* LocalFree(void* memory) override { return ::LocalFree(memory); }
  int FreeLibrary(Module module) override { return ::FreeLibrary(static_cast<HMODULE>(module)); }

  int Beep(std::uint32_t frequency, std::uint32_t duration_ms) override {
    return ::Beep(frequency, duration_ms);
  }

  void WriteStandardOutput(const char* bytes, std::size_t count) override {
    output_.Write(bytes, count);
  }
  std::uint32_t FlushStandardOutput() override { return output_.Flush(); }
  // A console shows wide text whatever its code page; bytes would be shown
  // in its OEM code page, not the ANSI one they were narrowed to.
  bool StandardOutputIsConsole() const override { return output_.console(); }
  void WriteConsoleW(const char16_t* text, std::size_t count) override {
    output_.WriteWide(Wide(text), count);
  }
  std::uint32_t StandardOutputError() override { return output_.error(); }

  // The runtime's narrow argv has been through the ANSI code page, which
  // turns a character it lacks into '?' (a wildcard) or a look-alike.
  char16_t** CommandLineToArgvW(int, const char* const*, int* count) override {
    return reinterpret_cast<char16_t**>(::CommandLineToArgvW(::GetCommandLineW(), count));
  }
  int MultiByteToWideChar(std::uint32_t code_page, std::uint32_t flags, const char* text, int count,
                          char16_t* wide, int wide_count) override {
    return ::MultiByteToWideChar(code_page, flags, text, count, Wide(wide), wide_count);
  }
  int WideCharToMultiByte(std::uint32_t code_page, std::uint32_t flags, const char16_t* wide,
                          int count, char* text, int text_count, const char* default_char,
                          int* used_default) override {
    // UTF-8 as the ANSI code page holds every character, and refuses the
    // best-fit flag and a default character as invalid.
    if (code_page == CP_ACP && utf8_ansi_) {
      if (used_default != nullptr) *used_default = FALSE;
      return ::WideCharToMultiByte(CP_UTF8, 0, Wide(wide), count, text, text_count, nullptr,
                                   nullptr);
    }
    return ::WideCharToMultiByte(code_page, flags, Wide(wide), count, text, text_count,
                                 default_char, used_default);
  }

  char16_t DirectorySeparator() const override { return u'\\'; }
  // A search takes '/' for '\\' too, and "C:name" looks in drive C's current
  // directory, so the drive is that name's directory.
  std::size_t DirectoryPrefixLength(const char16_t* name) const override {
    std::size_t length = 0;
    for (std::size_t i = 0; name[i] != 0; ++i)
      if (name[i] == u'\\' || name[i] == u'/') length = i + 1;
    if (length == 0 && IsAsciiLetter(name[0]) && name[1] == u':') length = 2;
    return length;
  }
  // The process exit code is a whole DWORD, so the run status passes unchanged.
  int ExitStatus(std::uint32_t run_status) const override { return static_cast<int>(run_status); }

 private:
  const bool utf8_ansi_;
  StandardOutput output_;
};

}  // namespace

Platform& SystemPlatform() {
  static WindowsPlatform platform;
  return platform;
}

}  // namespace corvane
