#include "platform/posix/packages/rpm/rpm_library.h"

#include <dlfcn.h>

namespace corvane::posix::rpm {

const Library* Load() {
  static const Library* const library = []() -> const Library* {
    // The soname of the librpm the program was built with, whose calls it declares.
    void* const handle = dlopen(CORVANE_LIBRPM_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    static Library calls;
    bool complete = true;
#define CORVANE_RPM_BIND(name)                                            \
  calls.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name)); \
  complete = complete && calls.name != nullptr;
    CORVANE_RPM_CALLS(CORVANE_RPM_BIND)
#undef CORVANE_RPM_BIND
    return complete ? &calls : nullptr;
  }();
  return library;
}

}  // namespace corvane::posix::rpm
