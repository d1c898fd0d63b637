#include "platform/posix/packages/rpm/rpm_library.h"

#include <dlfcn.h>

namespace corvane::posix::rpm {

const Library* Load() {
  static const Library* const library = []() -> const Library* {
    static Library calls;
    // Newest first: the system's rpm command uses it, and an older one kept
    // beside it for other programs may not read what that rpm writes.
    for (const char* soname : {"librpm.so.10", "librpm.so.9", "librpm.so.8"}) {
      void* const handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr) continue;
      bool complete = true;
#define CORVANE_RPM_BIND(name)                                            \
  calls.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name)); \
  complete = complete && calls.name != nullptr;
      CORVANE_RPM_CALLS(CORVANE_RPM_BIND)
#undef CORVANE_RPM_BIND
      calls.rpmdbFStat = reinterpret_cast<decltype(&::rpmdbFStat)>(dlsym(handle, "rpmdbFStat"));
      if (complete) return &calls;
      dlclose(handle);
    }
    return nullptr;
  }();
  return library;
}

}  // namespace corvane::posix::rpm
