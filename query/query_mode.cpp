#include "query/query_mode.h"

#include <algorithm>

#include "query/find_handle.h"

namespace corvane {
namespace {

template <std::size_t N>
void Empty(char16_t (&buffer)[N]) {
  std::fill(buffer, buffer + N, u'\0');
}

// Empties a buffer only this file writes, always with a terminator and
// zeros after it: up to the terminator is all there is to clear. Emptying
// whole 4,097-character buffers took a quarter of `corvane /usr/bin/*`'s
// instructions on Linux.
void Clear(char16_t* buffer) {
  for (; *buffer != 0; ++buffer) *buffer = 0;
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

// True for "." and "..".
bool IsDotName(const char16_t* name) {
  return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
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
  Clear(input);
  std::size_t length = 0;
  if (!Append(input, length, name, kPathBufferSize)) {
    // Too long for a path buffer: searching the cut text could name another
    // file, so the name is reported as not found, shown as far as it fits.
    console_.Write(u"\n*FileNotFound: %s", {input});
    return;
  }

  Clear(prefix_);
  std::size_t prefix_length = platform_.DirectoryPrefixLength(input);
  // The search may call "." or ".." by the directory's own name, which
  // joined to the prefix would name an entry inside it: these are asked
  // about as given.
  const bool as_given = IsDotName(input + prefix_length);
  if (as_given) prefix_length = length;
  std::copy(input, input + prefix_length, prefix_);

  ScopedFindHandle search(platform_.FindFirstFileW(input, &find_), {&platform_});
  if (!search.valid()) {
    console_.Write(u"\n*FileNotFound: %s", {input});
    return;
  }
  do {
    ExamineMatch(as_given ? u"" : find_.cFileName);
  } while (platform_.StandardOutputError() == kErrorSuccess &&
           platform_.FindNextFileW(search.get(), &find_) != 0);
}

void QueryMode::ExamineMatch(const char16_t* name) {
  char16_t(&input)[kPathBufferSize] = input_;
  char16_t(&full_path)[kPathBufferSize] = full_path_;
  Clear(input);
  std::size_t length = 0;
  Append(input, length, prefix_, kMaxPath);
  if (!Append(input, length, name, kMaxPath)) {
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
  if (status_ >= kMaxPath) {
    // The long form does not fit, and the buffer still holds a short one:
    // asking about that would answer for a path no line could show.
    status_ = 0;
    console_.Write(u"\n*FileNotFound: %s", {input});
    return;
  }
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
