#include "query/list_mode.h"

namespace corvane {

std::uint32_t ListMode::Run() {
  ProtectedFileData& record = record_;
  record.FileNumber = 0;
  std::int32_t count = 0;
  // A listing that cannot be written is not worth walking to its end.
  while (platform_.StandardOutputError() == kErrorSuccess &&
         platform_.SfcGetNextProtectedFile(nullptr, &record) != 0) {
    // The service fills all of FileName; the last slot is forced so an
    // entry that uses every character still ends inside the record.
    record.FileName[kMaxPath - 1] = 0;
    console_.Write(u"\n%s", {FormatArg(record.FileName, kMaxPath)});
    ++count;
  }
  if (const std::uint32_t failed = platform_.StandardOutputError(); failed != kErrorSuccess)
    return failed;
  const std::uint32_t code = platform_.GetLastError();
  if (code != kErrorSuccess && code != kErrorNoMoreFiles) {
    errors_.Report(code);
    return code;
  }
  console_.Write(u"\n");
  console_.Write(u"\n%d files displayed.", {count});
  console_.Write(u"\n");
  return code;
}

}  // namespace corvane
