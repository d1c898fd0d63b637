#include "query/query_mode.h"

#include <algorithm>

#include "query/find_handle.h"

namespace corvane {
namespace {

template <std::size_t N>
void Empty(char16_t (&buffer)[N]) {
  std::fill(buffer, buffer + N, u'\0');
}

// Appends up to `limit` characters of `text` (which need not be terminated
// within them) at `length`; false when they do not all fit before the
// buffer's last slot, which always stays a terminator.
bool Append(char16_t* buffer, std::size_t& length, const char16_t* text, std::size_t limit) {
  for (std::size_t i = 0; i < limit && text[i] != 0; ++i) {
    if (length == kMaxPath) return false;
    buffer[length++] = text[i];
  }
  return true;
}

}  // namespace

std::uint32_t QueryMode::Run(int count, const char16_t* const* names) {
  // Answers that cannot be written are not worth asking for: once a write
  // has failed, neither the file system nor the service is asked again.
  for (int i = 0; i < count && platform_.StandardOutputError() == kErrorSuccess; ++i)
    QueryName(names[i]);
  console_.Write(u"\n");
  return status_;
}

void QueryMode::QueryName(const char16_t* name) {
  char16_t(&input)[kPathBufferSize] = input_;
  Empty(input);
  std::size_t length = 0;
  if (!Append(input, length, name, kPathBufferSize)) {
    // Too long for a path buffer: searching the cut text could name another
    // file, so the name is reported as not found, shown as far as it fits.
    console_.Write(u"\n*FileNotFound: %s", {input});
    return;
  }

  Empty(prefix_);
  const char16_t separator = platform_.DirectorySeparator();
  std::size_t prefix_length = 0;
  for (std::size_t i = 0; input[i] != 0; ++i)
    if (input[i] == separator) prefix_length = i + 1;
  std::copy(input, input + prefix_length, prefix_);

  ScopedFindHandle search(platform_.FindFirstFileW(input, &find_), {&platform_});
  if (!search.valid()) {
    console_.Write(u"\n*FileNotFound: %s", {input});
    return;
  }
  do {
    ExamineMatch();
  } while (platform_.StandardOutputError() == kErrorSuccess &&
           platform_.FindNextFileW(search.get(), &find_) != 0);
}

void QueryMode::ExamineMatch() {
  char16_t(&input)[kPathBufferSize] = input_;
  char16_t(&full_path)[kPathBufferSize] = full_path_;
  Empty(input);
  std::size_t length = 0;
  Append(input, length, prefix_, kMaxPath);
  if (!Append(input, length, find_.cFileName, kMaxPath)) {
    // The joined path does not fit: resolving a cut path could answer for
    // another file, so this match counts as one whose long path was not obtained.
    status_ = 0;
    console_.Write(u"\n*FileNotFound: %s", {input});
    return;
  }

  Empty(full_path);
  char16_t* file_part = nullptr;
  const std::uint32_t full = platform_.GetFullPathNameW(input, kMaxPath, full_path, &file_part);
  if (full == 0 || full >= kMaxPath) {
    // No full path to show (it does not fit, or the working directory is
    // gone): the line names the match as it was searched.
    status_ = 0;
    console_.Write(u"\n*FileNotFound: %s", {input});
    return;
  }

  status_ = platform_.GetLongPathNameW(full_path, full_path, kMaxPath);
  if (status_ == 0) {
    console_.Write(u"\n*FileNotFound: %s", {full_path[0] != 0 ? full_path : input});
    return;
  }
  if (platform_.SfcIsFileProtected(nullptr, full_path) != 0) {
    console_.Write(u"\nProtectedFile: %s", {full_path});
    return;
  }
  status_ = platform_.GetLastError();
  if (status_ == kErrorFileNotFound)
    console_.Write(u"\n*NotProtected: %s", {full_path});
  else
    errors_.Report(status_);
}

}  // namespace corvane
