// The command front end: one scan of the arguments chooses the mode, the
// mode runs, and its run status becomes the exit status.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace corvane {

enum class Mode { kUsage, kList, kQuery };

// Chooses the mode from elements 1..argc-1: no arguments or a help request
// anywhere gives the usage screen (the scan stops there); otherwise any
// argument starting with /L or -L (ASCII case folded) gives list mode; else
// query mode. Where `separator` is '/', an argument starting with "/l" is a
// path unless it is exactly /l or /list. Cannot fail.
Mode ScanArguments(int argc, const char16_t* const* argv, char16_t separator = u'\\');

// Runs the mode the arguments choose and returns its run status (1 for the
// usage screen), or the error code of a failed write to standard output.
// The arguments are the platform's CommandLineToArgvW of main's; when they
// cannot be had, the run reports why and that code is its status.
// Standard output has been written out when it returns.
std::uint32_t RunCommand(Platform& platform, int argc, const char* const* argv);

// The whole program: RunCommand, its status carried as this platform's
// process exit status.
int RunProgram(Platform& platform, int argc, const char* const* argv);

}  // namespace corvane
