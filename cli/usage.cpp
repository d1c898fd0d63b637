#include "cli/usage.h"

#include <algorithm>

namespace corvane {

void ShowUsage(Platform& platform, Console& console, const char16_t* invoked_as) {
  // The run's program name: static, so that it is not on the stack (8 KiB
  // on Linux), and zero-filled here, where the run starts using it.
  static char16_t program[kPathBufferSize];
  std::fill(program, program + kPathBufferSize, u'\0');
  // The last slot is never written, so a name longer than the buffer is cut
  // and still ends there.
  for (std::size_t i = 0; invoked_as != nullptr && i < kMaxPath && invoked_as[i] != 0; ++i)
    program[i] = invoked_as[i];

  const char16_t separator = platform.DirectorySeparator();
  char16_t* name = program;
  for (char16_t* p = program; *p != 0; ++p)
    if (*p == separator) name = p + 1;
  std::copy(name, program + kPathBufferSize, program);

  console.Write(u"\n");
  console.Write(u"\n%s [Version %s]", {kProductName, kProductVersion});
  console.Write(u"\n");
  console.Write(u"\nQueries the Windows protected file list.");
  console.Write(u"\n");
  console.Write(u"\n");
  console.Write(u"\nThe syntax of this command is:");
  console.Write(u"\n");
  console.Write(u"\n%s /list|filename [filename2 filename3 ...]", {program});
  console.Write(u"\n");
  console.Write(u"\n /list|/l \tDisplays the complete list of system protected files,");
  console.Write(u"\n \t\tAll other parameters are ignored.");
  console.Write(u"\n");
  console.Write(u"\n If /l is not specified, one or more files can be queried individually.");
  console.Write(
      u"\n Separate multiple files with spaces; enclose paths containing spaces in quotes.");
  console.Write(u"\n");
  console.Write(u"\n An argument of /? or -? displays this syntax and returns 1.");
  console.Write(u"\n A successful completion will return 0.");
  console.Write(u"\n");
  console.Write(u"\n");
  console.Write(u"\nCorvane is maintained by the Corvane project.");
  console.Write(u"\n");
}

}  // namespace corvane
