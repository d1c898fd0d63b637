// Test double for sfc.dll: the protection service's two calls, answering as
// environment variables say (codes in decimal or 0x hex):
//
//   SFC_DOUBLE_ANSWER    SfcIsFileProtected's answer for every path: 0 says
//                        protected; another code fails the call with it.
//                        Unset: 2, not protected.
//   SFC_DOUBLE_LIST      the entries SfcGetNextProtectedFile walks, split at '|'
//   SFC_DOUBLE_LIST_END  the code that ends the walk; unset: 18
// windows.h first: the other Win32 headers use its types.
// clang-format off
#include <windows.h>
#include <sfc.h>
// clang-format on

#include <cwchar>
#include <string>
#include <vector>

namespace {

std::wstring Variable(const wchar_t* name, const wchar_t* unset) {
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length == 0 || length >= 4096 ? unset : std::wstring(value, length);
}

DWORD Code(const wchar_t* name, const wchar_t* unset) {
  return std::wcstoul(Variable(name, unset).c_str(), nullptr, 0);
}

}  // namespace

extern "C" {

BOOL WINAPI SfcIsFileProtected(HANDLE, LPCWSTR) {
  const DWORD code = Code(L"SFC_DOUBLE_ANSWER", L"2");
  SetLastError(code);
  return code == 0;
}

// Fills all of FileName, with no terminator when the entry is that long.
BOOL WINAPI SfcGetNextProtectedFile(HANDLE, PPROTECTED_FILE_DATA data) {
  std::vector<std::wstring> entries;
  std::wstring rest = Variable(L"SFC_DOUBLE_LIST", L"");
  while (!rest.empty()) {
    const std::size_t bar = rest.find(L'|');
    entries.push_back(rest.substr(0, bar));
    rest.erase(0, bar == std::wstring::npos ? bar : bar + 1);
  }
  if (data->FileNumber >= entries.size()) {
    SetLastError(Code(L"SFC_DOUBLE_LIST_END", L"18"));
    return FALSE;
  }
  const std::wstring& entry = entries[data->FileNumber++];
  for (std::size_t i = 0; i < MAX_PATH; ++i) data->FileName[i] = i < entry.size() ? entry[i] : 0;
  return TRUE;
}

}  // extern "C"
