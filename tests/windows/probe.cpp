// Test helper for the Wine runs, one program with two jobs:
//
//   probe.exe run PROGRAM COMMAND_LINE
//     Runs PROGRAM with COMMAND_LINE (element 0 first, as the C runtime
//     splits it) on this process's standard handles, then prints "exit CODE"
//     with its whole exit code in unsigned decimal: Wine hands Linux only the
//     low 8 bits.
//   probe.exe resources PROGRAM
//     Prints what PROGRAM's version record and icon group 101 say, read with
//     the Win32 version and resource calls.
//
// Exits with 0, or with 1 after saying what failed. A copy named netmsg.dll
// stands in for the network message module (see probe.rc).
#define UNICODE  // RT_ICON and RT_GROUP_ICON in their wide form
// windows.h first: the other Win32 headers use its types.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdio>
#include <cwchar>
#include <initializer_list>

namespace {

int Fail(const char* what) {
  std::printf("probe: %s failed (error %lu)\n", what, GetLastError());
  return 1;
}

int Run(const wchar_t* program, wchar_t* command_line) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE h : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
    SetHandleInformation(h, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process))
    return Fail("CreateProcessW");
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(process.hProcess, &code)) return Fail("GetExitCodeProcess");
  std::printf("exit %lu\n", code);
  return 0;
}

#pragma pack(push, 2)
// RT_GROUP_ICON: this header, then one entry per image.
struct GroupIconHeader {
  WORD reserved, type, count;
};
struct GroupIconEntry {
  BYTE width, height, colour_count, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

BOOL CALLBACK CountName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int Resources(const wchar_t* program) {
  static BYTE record[65536];
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(program, &ignored);
  if (size == 0 || size > sizeof record || !GetFileVersionInfoW(program, 0, size, record))
    return Fail("reading the version record");
  VS_FIXEDFILEINFO* fixed = nullptr;
  WORD* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(record, L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      !VerQueryValueW(record, L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                      &length))
    return Fail("reading the fixed version or translation");
  std::printf("file %lu.%lu.%lu.%lu, product %lu.%lu.%lu.%lu, type %lu, translation %04X %04X\n",
              fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xFFFF,
              fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xFFFF,
              fixed->dwProductVersionMS >> 16, fixed->dwProductVersionMS & 0xFFFF,
              fixed->dwProductVersionLS >> 16, fixed->dwProductVersionLS & 0xFFFF,
              fixed->dwFileType, translation[0], translation[1]);
  for (const wchar_t* name :
       {L"ProductName", L"ProductVersion", L"FileVersion", L"FileDescription", L"Comments"}) {
    wchar_t query[128];
    std::swprintf(query, 128, L"\\StringFileInfo\\040904B0\\%ls", name);
    wchar_t* value = nullptr;
    const bool found = VerQueryValueW(record, query, reinterpret_cast<void**>(&value), &length);
    std::printf("%ls: %ls\n", name, found ? value : L"(none)");
  }

  HMODULE module = LoadLibraryExW(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return Fail("loading the program as data");
  int groups = 0;
  EnumResourceNamesW(module, RT_GROUP_ICON, CountName, reinterpret_cast<LONG_PTR>(&groups));
  HRSRC group_info = FindResourceW(module, MAKEINTRESOURCEW(101), RT_GROUP_ICON);
  if (group_info == nullptr) return Fail("finding icon group 101");
  const auto* group =
      static_cast<const GroupIconHeader*>(LockResource(LoadResource(module, group_info)));
  std::printf("icon groups %d; group 101 has %u images\n", groups, group->count);
  const auto* entries = reinterpret_cast<const GroupIconEntry*>(group + 1);
  for (WORD i = 0; i < group->count; ++i) {
    HRSRC image_info = FindResourceW(module, MAKEINTRESOURCEW(entries[i].id), RT_ICON);
    if (image_info == nullptr) return Fail("finding an icon image");
    const DWORD bytes = SizeofResource(module, image_info);
    HICON icon =
        CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(module, image_info))),
                                 bytes, TRUE, 0x00030000, entries[i].width, entries[i].height, 0);
    std::printf("image %ux%u, %u bits per pixel, %s, %s\n", entries[i].width, entries[i].height,
                entries[i].bit_count, bytes == entries[i].bytes ? "size agrees" : "size differs",
                icon != nullptr ? "loads" : "does not load");
    if (icon != nullptr) DestroyIcon(icon);
  }
  return 0;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args != nullptr && count == 4 && std::wcscmp(args[1], L"run") == 0)
    return Run(args[2], args[3]);
  if (args != nullptr && count == 3 && std::wcscmp(args[1], L"resources") == 0)
    return Resources(args[2]);
  std::printf("usage: probe run PROGRAM COMMAND_LINE | probe resources PROGRAM\n");
  return 1;
}
