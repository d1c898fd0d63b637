#include "fake_platform.h"

#include <algorithm>
#include <cstring>

namespace corvane::testing {
namespace {

int network_module_tag = 0;

std::u16string Text(const char16_t* text) { return text == nullptr ? u"" : std::u16string(text); }

// Copies into a fixed field as the least helpful system would: cut to fit,
// with a terminator only when there is room for one.
template <std::size_t N>
void Store(char16_t (&field)[N], const std::u16string& text) {
  std::fill(field, field + N, u'\0');
  std::copy_n(text.begin(), std::min(text.size(), N), field);
}

// Fills the rest of a buffer the core handed over with `size`, as a system
// may use all of it: a size larger than the buffer shows as an overrun.
void UseRest(char16_t* buffer, std::size_t used, std::uint32_t size) {
  if (used < size) std::fill(buffer + used, buffer + size, u'~');
}

}  // namespace

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c <= 0xFF ? static_cast<char>(c) : '?';
  return out;
}

bool FakePlatform::Faulted(Operation operation) {
  const int call = operation_calls_[static_cast<int>(operation)]++;
  for (const Fault& fault : faults) {
    if (fault.operation == operation && fault.call == call) {
      last_error_ = fault.code;
      ++faults_fired;
      return true;
    }
  }
  return false;
}

Handle FakePlatform::FindFirstFileW(const char16_t* pattern, FindData* data) {
  if (Faulted(Operation::kFindFirstFile)) return kInvalidHandleValue;
  auto found = matches.find(Text(pattern));
  if (found == matches.end() || found->second.empty()) {
    last_error_ = kErrorFileNotFound;
    return kInvalidHandleValue;
  }
  searches_.push_back(Search{found->second, 1});
  Store(data->cFileName, found->second.front());
  ++open_searches;
  return &searches_.back();
}

int FakePlatform::FindNextFileW(Handle search, FindData* data) {
  if (Faulted(Operation::kFindNextFile)) return 0;
  auto* s = static_cast<Search*>(search);
  if (s->next == s->names.size()) {
    last_error_ = kErrorNoMoreFiles;
    return 0;
  }
  Store(data->cFileName, s->names[s->next++]);
  return 1;
}

int FakePlatform::FindClose(Handle) {
  --open_searches;
  return Faulted(Operation::kFindClose) ? 0 : 1;
}

std::uint32_t FakePlatform::GetFullPathNameW(const char16_t* name, std::uint32_t size,
                                             char16_t* buffer, char16_t** file_part) {
  if (Faulted(Operation::kGetFullPathName)) return 0;
  auto found = full_paths.find(Text(name));
  const std::u16string full = found == full_paths.end() ? Text(name) : found->second;
  if (full.size() + 1 > size) return static_cast<std::uint32_t>(full.size() + 1);
  std::copy(full.begin(), full.end(), buffer);
  buffer[full.size()] = 0;
  UseRest(buffer, full.size() + 1, size);
  if (file_part != nullptr) *file_part = buffer;
  return static_cast<std::uint32_t>(full.size());
}

std::uint32_t FakePlatform::GetLongPathNameW(const char16_t* short_path, char16_t* long_path,
                                             std::uint32_t size) {
  const std::u16string path = Text(short_path);
  if (Faulted(Operation::kGetLongPathName)) return 0;
  Outcome outcome{static_cast<std::uint32_t>(path.size()), std::nullopt};
  if (auto found = long_paths.find(path); found != long_paths.end()) outcome = found->second;
  if (outcome.error) last_error_ = *outcome.error;
  if (outcome.result != 0 && path.size() + 1 <= size) {
    std::copy(path.begin(), path.end(), long_path);
    long_path[path.size()] = 0;
    UseRest(long_path, path.size() + 1, size);
  }
  return outcome.result;
}

int FakePlatform::SfcIsFileProtected(Handle, const char16_t* path) {
  const std::u16string p = Text(path);
  if (Faulted(Operation::kSfcIsFileProtected)) return 0;
  if (protected_paths.count(p) != 0) return 1;
  auto code = query_errors.find(p);
  last_error_ = code == query_errors.end() ? kErrorFileNotFound : code->second;
  return 0;
}

int FakePlatform::SfcGetNextProtectedFile(Handle, ProtectedFileData* data) {
  if (Faulted(Operation::kSfcGetNextProtectedFile)) return 0;
  if (data->FileNumber >= protected_list.size()) {
    last_error_ = list_end_error;
    return 0;
  }
  Store(data->FileName, protected_list[data->FileNumber++]);
  return 1;
}

Module FakePlatform::LoadLibraryExW(const char16_t*, Handle, std::uint32_t) {
  if (Faulted(Operation::kLoadLibrary)) return nullptr;
  if (!network_module_loads) {
    last_error_ = kErrorFileNotFound;
    return nullptr;
  }
  ++loaded_modules;
  return &network_module_tag;
}

std::uint32_t FakePlatform::FormatMessageA(std::uint32_t flags, const void* source,
                                           std::uint32_t message_id, std::uint32_t, char* buffer,
                                           std::uint32_t, void*) {
  if (Faulted(Operation::kFormatMessage)) return 0;
  const std::string* text = nullptr;
  if ((flags & kFormatMessageFromHmodule) != 0 && source == &network_module_tag) {
    if (auto found = network_messages.find(message_id); found != network_messages.end())
      text = &found->second;
  }
  if (text == nullptr) {
    if (auto found = system_messages.find(message_id); found != system_messages.end())
      text = &found->second;
  }
  // As the system: no text is a failure, with nothing allocated to free.
  if (text == nullptr || text->empty()) return 0;
  char* copy = new char[text->size() + 1];
  std::memcpy(copy, text->c_str(), text->size() + 1);
  *reinterpret_cast<char**>(buffer) = copy;
  ++outstanding_messages;
  return static_cast<std::uint32_t>(text->size());
}

void* FakePlatform::LocalFree(void* memory) {
  delete[] static_cast<char*>(memory);
  --outstanding_messages;
  return Faulted(Operation::kLocalFree) ? memory : nullptr;
}

int FakePlatform::FreeLibrary(Module) {
  --loaded_modules;
  return Faulted(Operation::kFreeLibrary) ? 0 : 1;
}

int FakePlatform::Beep(std::uint32_t, std::uint32_t) {
  ++beeps;
  return Faulted(Operation::kBeep) ? 0 : 1;
}

void FakePlatform::WriteStandardOutput(const char* bytes, std::size_t count) {
  output.append(bytes, count);
  write_sizes.push_back(count);
}

std::uint32_t FakePlatform::FlushStandardOutput() {
  ++flushes;
  return output_error;
}

}  // namespace corvane::testing
