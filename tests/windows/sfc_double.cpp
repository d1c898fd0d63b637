// Test double for sfc.dll, answering as environment variables say:
//   SFC_DOUBLE_ANSWER  SfcIsFileProtected's answer for every path, in decimal
//                      or 0x hex: 0 says protected, another code fails the
//                      call with it; unset: 2, not protected
//   SFC_DOUBLE_LIST    the entries SfcGetNextProtectedFile walks, split at '|'
// clang-format off
#include <windows.h>  // first: sfc.h uses its types
#include <sfc.h>
// clang-format on

#include <cstdlib>
#include <string>

extern "C" {

BOOL WINAPI SfcIsFileProtected(HANDLE, LPCWSTR) {
  const wchar_t* answer = _wgetenv(L"SFC_DOUBLE_ANSWER");
  const DWORD code = answer == nullptr ? ERROR_FILE_NOT_FOUND : std::wcstoul(answer, nullptr, 0);
  SetLastError(code);
  return code == 0;
}

// Fills all of FileName, with no terminator when the entry is that long.
BOOL WINAPI SfcGetNextProtectedFile(HANDLE, PPROTECTED_FILE_DATA data) {
  const wchar_t* entries = _wgetenv(L"SFC_DOUBLE_LIST");
  const std::wstring list =
      entries == nullptr || *entries == 0 ? L"" : entries + std::wstring(L"|");
  std::size_t start = 0;
  for (DWORD n = 0; n < data->FileNumber && start < list.size(); ++n)
    start = list.find(L'|', start) + 1;
  if (start >= list.size()) return SetLastError(ERROR_NO_MORE_FILES), FALSE;
  const std::wstring entry = list.substr(start, list.find(L'|', start) - start);
  ++data->FileNumber;
  for (std::size_t i = 0; i < MAX_PATH; ++i) data->FileName[i] = i < entry.size() ? entry[i] : 0;
  return TRUE;
}

}  // extern "C"
