// The seam between Corvane's core and the operating system.
//
// The core (cli/, query/, report/) talks to the system only through the
// Platform interface below. Each operation carries the Win32 name and
// argument order of the call it stands for, so the Windows implementation is
// a direct forward (with at most a char16_t/wchar_t cast) and every other
// implementation states what that call means on its own system.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvane {

// The system's path capacity, which the platform's build fixes (MAX_PATH on
// Windows, PATH_MAX on POSIX): a path buffer holds this many characters plus
// the terminator.
#ifndef CORVANE_MAX_PATH
#error "the platform's build defines CORVANE_MAX_PATH"
#endif
inline constexpr std::size_t kMaxPath = CORVANE_MAX_PATH;
inline constexpr std::size_t kPathBufferSize = kMaxPath + 1;

// Win32 error codes the core compares against. Every implementation reports
// its failures in these terms so the core's decisions are the same everywhere.
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;
inline constexpr std::uint32_t kErrorInvalidName = 123;
inline constexpr std::uint32_t kErrorFilenameExcedRange = 206;

// FormatMessageA flags and the language the error report asks for.
inline constexpr std::uint32_t kFormatMessageAllocateBuffer = 0x0100;
inline constexpr std::uint32_t kFormatMessageIgnoreInserts = 0x0200;
inline constexpr std::uint32_t kFormatMessageFromHmodule = 0x0800;
inline constexpr std::uint32_t kFormatMessageFromSystem = 0x1000;
inline constexpr std::uint32_t kLangNeutralSublangDefault = 0x0400;
inline constexpr std::uint32_t kLoadLibraryAsDatafile = 0x0002;
// LoadLibraryExW looks in the system's own directory alone, never in the
// program's or the current one, where anyone may have put a file of that name.
inline constexpr std::uint32_t kLoadLibrarySearchSystem32 = 0x0800;

// The code page narrow text is in (CP_ACP), and the WideCharToMultiByte flag
// that writes the default character, never a look-alike, for a character the
// code page lacks.
inline constexpr std::uint32_t kCodePageAnsi = 0;
inline constexpr std::uint32_t kWcNoBestFitChars = 0x0400;

// Layout-compatible with WIN32_FIND_DATAW; the core reads only cFileName.
struct FindData {
  std::uint32_t dwFileAttributes;
  std::uint32_t ftCreationTime[2];
  std::uint32_t ftLastAccessTime[2];
  std::uint32_t ftLastWriteTime[2];
  std::uint32_t nFileSizeHigh;
  std::uint32_t nFileSizeLow;
  std::uint32_t dwReserved0;
  std::uint32_t dwReserved1;
  char16_t cFileName[kMaxPath];
  char16_t cAlternateFileName[14];
};

// Layout-compatible with PROTECTED_FILE_DATA.
struct ProtectedFileData {
  char16_t FileName[kMaxPath];
  std::uint32_t FileNumber;
};

using Handle = void*;  // HANDLE
using Module = void*;  // HMODULE; nullptr is "no module"
inline const Handle kInvalidHandleValue = reinterpret_cast<Handle>(~std::uintptr_t{0});

class Platform {
 public:
  virtual ~Platform() = default;

  // Starts a directory search. Returns a handle and the first match in
  // data->cFileName, or kInvalidHandleValue when nothing matches or the
  // pattern is invalid. '*' and '?' are wildcards in the last component.
  virtual Handle FindFirstFileW(const char16_t* pattern, FindData* data) = 0;
  // Nonzero with the next match in data->cFileName while there is one.
  virtual int FindNextFileW(Handle search, FindData* data) = 0;
  // Ends a search started by FindFirstFileW.
  virtual int FindClose(Handle search) = 0;

  // Writes the absolute form of `name` into `buffer` when it fits in `size`
  // characters with its terminator and returns its length; otherwise writes
  // nothing and returns the size needed (terminator included). 0 on failure.
  virtual std::uint32_t GetFullPathNameW(const char16_t* name, std::uint32_t size, char16_t* buffer,
                                         char16_t** file_part) = 0;
  // Writes the long form of `short_path` into `long_path` (which may be the
  // same buffer) and returns its length; the size needed when it does not fit
  // in `size`; 0 when the path cannot be resolved (last error says why).
  virtual std::uint32_t GetLongPathNameW(const char16_t* short_path, char16_t* long_path,
                                         std::uint32_t size) = 0;

  // Nonzero when `path` is on the protected list; zero otherwise, with last
  // error 2 when it is simply not on it and another code when asking failed.
  virtual int SfcIsFileProtected(Handle rpc, const char16_t* path) = 0;
  // Nonzero with entry data->FileNumber of the list in data->FileName, the
  // position advanced; zero with last error 18 at the end, another on failure.
  virtual int SfcGetNextProtectedFile(Handle rpc, ProtectedFileData* data) = 0;

  // The error code of the operation that failed last.
  virtual std::uint32_t GetLastError() = 0;

  // A module to look message texts up in, or nullptr. With
  // kLoadLibrarySearchSystem32, only the system's own directory is looked in.
  virtual Module LoadLibraryExW(const char16_t* name, Handle file, std::uint32_t flags) = 0;
  // With kFormatMessageAllocateBuffer, stores a system-allocated narrow text
  // in *reinterpret_cast<char**>(buffer) and returns its length in bytes, or
  // returns 0 when the code has no text (nothing to free then).
  virtual std::uint32_t FormatMessageA(std::uint32_t flags, const void* source,
                                       std::uint32_t message_id, std::uint32_t language_id,
                                       char* buffer, std::uint32_t size, void* arguments) = 0;
  // Frees text that FormatMessageA allocated. Returns nullptr on success.
  virtual void* LocalFree(void* memory) = 0;
  virtual int FreeLibrary(Module module) = 0;

  virtual int Beep(std::uint32_t frequency, std::uint32_t duration_ms) = 0;

  // Standard output in the platform's text mode. The writer hands over one
  // message per call; the platform buffers as the stream's kind calls for.
  virtual void WriteStandardOutput(const char* bytes, std::size_t count) = 0;
  // Writes out whatever standard output still holds. Returns 0, or the
  // error code of the first write that failed in the run (later output is
  // dropped once one has).
  virtual std::uint32_t FlushStandardOutput() = 0;
  // True when standard output is a console (GetConsoleMode succeeds on it),
  // which shows wide text as it is: the writer then hands each message to
  // WriteConsoleW instead. A platform without consoles keeps this default.
  virtual bool StandardOutputIsConsole() const { return false; }
  // Writes `count` characters of `text` to the console at once, each line
  // feed as CR LF; a failure counts as a failed write of standard output.
  // Called only where StandardOutputIsConsole().
  virtual void WriteConsoleW(const char16_t* /*text*/, std::size_t /*count*/) {}
  // 0 while every write to standard output has succeeded; then the error
  // code of the first that failed. Writes nothing.
  virtual std::uint32_t StandardOutputError() = 0;

  // The program's arguments, element 0 first: *count texts in one block
  // that LocalFree frees, or nullptr when it cannot be had (last error says
  // why). `argc` and `argv` are main's. Windows ignores them and splits
  // GetCommandLineW() as CommandLineToArgvW does, so no argument passes
  // through a narrow code page; other systems widen main's as
  // MultiByteToWideChar does.
  virtual char16_t** CommandLineToArgvW(int argc, const char* const* argv, int* count) = 0;

  // Converts `count` bytes of `text` (through its terminator when -1) to
  // UTF-16 in `wide`, which holds `wide_count` characters, and returns how
  // many it stored; with `wide_count` 0 stores nothing and returns how many
  // it would store. 0 on failure: `wide` too small (122) or bad arguments.
  virtual int MultiByteToWideChar(std::uint32_t code_page, std::uint32_t flags, const char* text,
                                  int count, char16_t* wide, int wide_count) = 0;
  // The reverse: `count` characters of `wide` (through its terminator when
  // -1) as bytes in `text`, which holds `text_count`; a character the code
  // page lacks becomes `default_char` (the code page's own, '?', when null)
  // and sets *used_default when that is not null. Returns the bytes stored,
  // or with `text_count` 0 the bytes needed; 0 on failure as above.
  virtual int WideCharToMultiByte(std::uint32_t code_page, std::uint32_t flags,
                                  const char16_t* wide, int count, char* text, int text_count,
                                  const char* default_char, int* used_default) = 0;

  // The character that ends a directory prefix: '\\' on Windows, '/' on POSIX.
  virtual char16_t DirectorySeparator() const = 0;
  // How many leading characters of `name` name the directory a search for
  // it looks in: through its last DirectorySeparator(), or none. Windows,
  // which reads more into a name, says so in its own.
  virtual std::size_t DirectoryPrefixLength(const char16_t* name) const {
    const char16_t separator = DirectorySeparator();
    std::size_t length = 0;
    for (std::size_t i = 0; name[i] != 0; ++i)
      if (name[i] == separator) length = i + 1;
    return length;
  }
  // The process exit status that carries `run_status` on this platform.
  virtual int ExitStatus(std::uint32_t run_status) const = 0;
};

// The operating system this program was built for; lives for the whole run.
Platform& SystemPlatform();

}  // namespace corvane
