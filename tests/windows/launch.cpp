// Test launcher: starts a program with a chosen argument 0 and records its
// whole 32-bit exit code, which Wine cuts to 8 bits on its way to Linux.
//
//   launch.exe STATUS_FILE PROGRAM ARGV0 [ARG...]
//
// Runs PROGRAM with the command line ARGV0 ARG..., each quoted so the C
// runtime splits it back into the same elements, sharing this process's
// standard handles. Writes the exit code in unsigned decimal to STATUS_FILE
// and exits with it; exits with 255 and writes nothing when it cannot.
// windows.h first: the other Win32 headers use its types.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdio>
#include <string>

namespace {

// Appends `argument` quoted as the C runtime's splitting rules read it back.
void AppendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!line.empty()) line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a quote follows: then each is doubled
    // and the quote escaped.
    line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

int Fail(const char* what) {
  std::fprintf(stderr, "launch: %s failed with error %lu\n", what, GetLastError());
  return 255;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr) return Fail("CommandLineToArgvW");
  if (count < 4) {
    std::fprintf(stderr, "usage: launch STATUS_FILE PROGRAM ARGV0 [ARG...]\n");
    return 255;
  }

  std::wstring line;
  for (int i = 3; i < count; ++i) AppendQuoted(line, args[i]);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
    if (h != nullptr && h != INVALID_HANDLE_VALUE)
      SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);

  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(args[2], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process))
    return Fail("CreateProcessW");
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(process.hProcess, &code)) return Fail("GetExitCodeProcess");
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  FILE* status = _wfopen(args[1], L"wb");
  if (status == nullptr) return Fail("opening the status file");
  std::fprintf(status, "%lu\n", code);
  std::fclose(status);
  LocalFree(args);
  return static_cast<int>(code);
}
