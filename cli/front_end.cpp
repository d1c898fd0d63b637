#include "cli/front_end.h"

#include "cli/usage.h"
#include "query/list_mode.h"
#include "query/query_mode.h"
#include "report/console.h"
#include "report/error_report.h"
#include "report/local_memory.h"

namespace corvane {
namespace {

constexpr std::uint32_t kUsageStatus = 1;

char16_t FoldAscii(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool EqualsFolded(const char16_t* argument, const char16_t* expected) {
  for (; *expected != 0; ++argument, ++expected)
    if (FoldAscii(*argument) != FoldAscii(*expected)) return false;
  return *argument == 0;
}

bool StartsWithFolded(const char16_t* argument, const char16_t* prefix) {
  for (; *prefix != 0; ++argument, ++prefix)
    if (*argument == 0 || FoldAscii(*argument) != FoldAscii(*prefix)) return false;
  return true;
}

bool IsHelpRequest(const char16_t* argument) {
  for (const char16_t* form : {u"/?", u"-?", u"/help", u"-help"})
    if (EqualsFolded(argument, form)) return true;
  return false;
}

bool IsListSwitch(const char16_t* argument, char16_t separator) {
  if (StartsWithFolded(argument, u"-L")) return true;
  // Where '/' starts every absolute path, /lib/... and /lost+found are names.
  if (separator == u'/') return EqualsFolded(argument, u"/l") || EqualsFolded(argument, u"/list");
  return StartsWithFolded(argument, u"/L");
}

// Everything a mode may use; lives for the whole run, zero-filled at its start.
struct Run {
  explicit Run(Platform& platform)
      : platform(platform), console(platform), errors(platform, console) {}
  Platform& platform;
  Console console;
  ErrorReport errors;
};

std::uint32_t RunUsage(Run& run, int argc, const char16_t* const* argv) {
  ShowUsage(run.platform, run.console, argc > 0 ? argv[0] : nullptr);
  return kUsageStatus;
}

std::uint32_t RunList(Run& run, int, const char16_t* const*) {
  return ListMode(run.platform, run.console, run.errors).Run();
}

std::uint32_t RunQuery(Run& run, int argc, const char16_t* const* argv) {
  return QueryMode(run.platform, run.console, run.errors).Run(argc - 1, argv + 1);
}

struct ModeEntry {
  Mode mode;
  std::uint32_t (*run)(Run&, int, const char16_t* const*);
};

constexpr ModeEntry kModes[] = {
    {Mode::kUsage, RunUsage},
    {Mode::kList, RunList},
    {Mode::kQuery, RunQuery},
};

}  // namespace

Mode ScanArguments(int argc, const char16_t* const* argv, char16_t separator) {
  if (argc < 2) return Mode::kUsage;
  bool list = false;
  for (int i = 1; i < argc; ++i) {
    if (IsHelpRequest(argv[i])) return Mode::kUsage;
    if (IsListSwitch(argv[i], separator)) list = true;
  }
  return list ? Mode::kList : Mode::kQuery;
}

std::uint32_t RunCommand(Platform& platform, int argc, const char* const* argv) {
  int count = 0;
  const ScopedLocal<char16_t*> arguments(platform.CommandLineToArgvW(argc, argv, &count),
                                         {&platform});
  Run run(platform);
  std::uint32_t status = kUsageStatus;
  if (arguments.get() == nullptr) {
    // Without its arguments the run cannot tell what was asked; the
    // failure is its answer, and never a success.
    status = platform.GetLastError();
    if (status == kErrorSuccess) status = kErrorNotEnoughMemory;
    run.errors.Report(status);
    run.console.Write(u"\n");
  } else {
    const Mode mode = ScanArguments(count, arguments.get(), platform.DirectorySeparator());
    for (const ModeEntry& entry : kModes)
      if (entry.mode == mode) status = entry.run(run, count, arguments.get());
  }
  // Output that was not written is not a complete answer or listing: the
  // write failure decides the status, never the mode's success.
  const std::uint32_t output_error = platform.FlushStandardOutput();
  return output_error != kErrorSuccess ? output_error : status;
}

int RunProgram(Platform& platform, int argc, const char* const* argv) {
  return platform.ExitStatus(RunCommand(platform, argc, argv));
}

}  // namespace corvane
