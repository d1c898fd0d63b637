// The usage screen: banner, syntax with the name the program was invoked
// by, and what the switches and the exit status mean.
#pragma once

#include "corvane_version.h"
#include "platform/platform.h"
#include "report/console.h"

namespace corvane {

inline constexpr const char16_t* kProductName = u"Corvane";
inline constexpr const char16_t* kProductVersion = CORVANE_VERSION_WIDE;

// Prints the usage screen. `invoked_as` is element 0 of the argument vector
// (may be null); only its part after the platform's last directory
// separator is shown, cut to a path buffer.
void ShowUsage(Platform& platform, Console& console, const char16_t* invoked_as);

}  // namespace corvane
