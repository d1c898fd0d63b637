// Prints what a program's version record and icon resource 101 say, one fact
// a line, for the tests to compare:
//
//   read_resources.exe PROGRAM
//
// Exits with 1 when a part cannot be read (after saying which).
// The resource type names (RT_ICON, RT_GROUP_ICON) in their wide form.
#define UNICODE
// windows.h first: the other Win32 headers use its types.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>

namespace {

constexpr WORD kIconId = 101;

#pragma pack(push, 2)
// One image of an icon group, as stored in RT_GROUP_ICON.
struct GroupIconEntry {
  BYTE width;
  BYTE height;
  BYTE colour_count;
  BYTE reserved;
  WORD planes;
  WORD bit_count;
  DWORD bytes;
  WORD id;
};
struct GroupIconHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
#pragma pack(pop)

int Fail(const char* what) {
  std::printf("cannot read %s (error %lu)\n", what, GetLastError());
  return 1;
}

DWORD RowBytes(LONG width, WORD bits) { return ((width * bits + 31) / 32) * 4; }

int PrintVersion(const wchar_t* program) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(program, &ignored);
  if (size == 0) return Fail("the version record");
  static BYTE record[65536];
  if (size > sizeof record || !GetFileVersionInfoW(program, 0, size, record))
    return Fail("the version record");

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(record, L"\\", reinterpret_cast<void**>(&fixed), &length))
    return Fail("the fixed version");
  std::printf("file version %u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
              LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
              LOWORD(fixed->dwFileVersionLS));
  std::printf("product version %u.%u.%u.%u\n", HIWORD(fixed->dwProductVersionMS),
              LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
              LOWORD(fixed->dwProductVersionLS));
  std::printf("file type %lu\n", fixed->dwFileType);

  WORD* translation = nullptr;
  if (!VerQueryValueW(record, L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                      &length) ||
      length < 2 * sizeof(WORD))
    return Fail("the translation");
  for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2)
    std::printf("translation %04X %04X\n", translation[i], translation[i + 1]);

  for (const wchar_t* name :
       {L"ProductName", L"ProductVersion", L"FileVersion", L"FileDescription", L"Comments"}) {
    wchar_t query[128];
    std::swprintf(query, 128, L"\\StringFileInfo\\040904B0\\%ls", name);
    wchar_t* value = nullptr;
    if (!VerQueryValueW(record, query, reinterpret_cast<void**>(&value), &length))
      std::printf("%ls: (none)\n", name);
    else
      std::printf("%ls: %ls\n", name, value);
  }
  return 0;
}

BOOL CALLBACK CountName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int PrintIcon(const wchar_t* program) {
  HMODULE module = LoadLibraryExW(program, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return Fail("the program as data");
  int groups = 0;
  EnumResourceNamesW(module, RT_GROUP_ICON, CountName, reinterpret_cast<LONG_PTR>(&groups));
  std::printf("icon groups: %d\n", groups);
  HRSRC group_info = FindResourceW(module, MAKEINTRESOURCEW(kIconId), RT_GROUP_ICON);
  if (group_info == nullptr) return Fail("icon group 101");
  const auto* group =
      static_cast<const GroupIconHeader*>(LockResource(LoadResource(module, group_info)));
  const auto* entries = reinterpret_cast<const GroupIconEntry*>(group + 1);
  std::printf("icon %u: %u images\n", kIconId, group->count);

  for (WORD i = 0; i < group->count; ++i) {
    const GroupIconEntry& entry = entries[i];
    std::printf("image %ux%u, %u colours, %u bits per pixel", entry.width, entry.height,
                entry.colour_count, entry.bit_count);
    HRSRC image_info = FindResourceW(module, MAKEINTRESOURCEW(entry.id), RT_ICON);
    if (image_info == nullptr) return Fail("an icon image");
    const DWORD size = SizeofResource(module, image_info);
    auto* image = static_cast<BYTE*>(LockResource(LoadResource(module, image_info)));
    BITMAPINFOHEADER header;
    std::memcpy(&header, image, sizeof header);
    // The image holds a colour bitmap over a mask, so its height is doubled.
    const LONG side = header.biWidth;
    const DWORD expected = sizeof header + (1u << header.biBitCount) * sizeof(RGBQUAD) +
                           side * (RowBytes(side, header.biBitCount) + RowBytes(side, 1));
    std::printf("; bitmap %ldx%ld, %u bits per pixel, %s", header.biWidth, header.biHeight / 2,
                header.biBitCount,
                size == entry.bytes && size == expected ? "sizes agree" : "sizes differ");
    HICON icon = CreateIconFromResourceEx(image, size, TRUE, 0x00030000, side, side, 0);
    std::printf(", %s\n", icon != nullptr ? "loads" : "does not load");
    if (icon != nullptr) DestroyIcon(icon);
  }
  FreeLibrary(module);
  return 0;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr || count != 2) {
    std::printf("usage: read_resources PROGRAM\n");
    return 1;
  }
  const int status = PrintVersion(args[1]) | PrintIcon(args[1]);
  LocalFree(args);
  return status;
}
