// Test double for sfc.dll: the protection service's two calls, answering from
// a script beside the DLL, sfc_double.txt. One directive a line (UTF-8):
//
//   protected PATH       SfcIsFileProtected answers yes for PATH
//   failing CODE PATH    SfcIsFileProtected fails for PATH with CODE
//   entry PATH           the next entry of the list SfcGetNextProtectedFile walks
//   list-end CODE        the code that ends the walk (18 when not given)
//
// Paths compare without regard to case; CODE is decimal or 0x hex. Any other
// path is not protected (code 2). Without the file: nothing is protected and
// the list is empty, as Wine's own service answers.
// windows.h first: the other Win32 headers use its types.
// clang-format off
#include <windows.h>
#include <sfc.h>
// clang-format on

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Answer {
  std::wstring path;
  bool protects;
  DWORD code;
};

struct Script {
  std::vector<Answer> answers;
  std::vector<std::wstring> entries;
  DWORD list_end = ERROR_NO_MORE_FILES;
};

HMODULE self = nullptr;

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

// Splits off the first blank-separated word of `rest`.
std::string Word(std::string& rest) {
  const std::size_t end = rest.find(' ');
  std::string word = rest.substr(0, end);
  rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
  return word;
}

DWORD Code(const std::string& text) { return std::strtoul(text.c_str(), nullptr, 0); }

std::string ReadScriptFile() {
  wchar_t path[MAX_PATH + 32] = {};
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring name(path, length);
  name = name.substr(0, name.find_last_of(L'\\') + 1) + L"sfc_double.txt";
  HANDLE file =
      CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char block[4096];
  DWORD got = 0;
  while (ReadFile(file, block, sizeof block, &got, nullptr) && got != 0) text.append(block, got);
  CloseHandle(file);
  return text;
}

const Script& TheScript() {
  static const Script script = [] {
    Script s;
    std::string text = ReadScriptFile();
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string rest = text.substr(start, end - start);
      start = end + 1;
      if (!rest.empty() && rest.back() == '\r') rest.pop_back();
      const std::string directive = Word(rest);
      if (directive == "protected") {
        s.answers.push_back({Widen(rest), true, 0});
      } else if (directive == "failing") {
        const DWORD code = Code(Word(rest));
        s.answers.push_back({Widen(rest), false, code});
      } else if (directive == "entry") {
        s.entries.push_back(Widen(rest));
      } else if (directive == "list-end") {
        s.list_end = Code(rest);
      }
    }
    return s;
  }();
  return script;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

BOOL WINAPI SfcIsFileProtected(HANDLE, LPCWSTR path) {
  for (const Answer& answer : TheScript().answers) {
    if (lstrcmpiW(answer.path.c_str(), path) != 0) continue;
    if (answer.protects) return TRUE;
    SetLastError(answer.code);
    return FALSE;
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return FALSE;
}

// Fills all of FileName, without a terminator when the entry is that long.
BOOL WINAPI SfcGetNextProtectedFile(HANDLE, PPROTECTED_FILE_DATA data) {
  const Script& script = TheScript();
  if (data->FileNumber >= script.entries.size()) {
    SetLastError(script.list_end);
    return FALSE;
  }
  const std::wstring& entry = script.entries[data->FileNumber++];
  for (std::size_t i = 0; i < MAX_PATH; ++i)
    data->FileName[i] = i < entry.size() ? entry[i] : L'\0';
  return TRUE;
}

}  // extern "C"
