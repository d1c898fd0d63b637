// The program's load configuration. Its DependentLoadFlags make Windows 10
// 1607 and later resolve the DLLs the program imports (sfc.dll, which is no
// KnownDLL) from System32 alone: a copy beside the program, say in a
// Downloads folder, would otherwise be loaded instead and decide every
// answer. The loader finds the structure through the PE header's load
// configuration directory, which cmake/load_config.sh points at it after the
// link.
#include <windows.h>

#include <cstddef>

namespace {

// mingw-w64's headers still call the DependentLoadFlags field Reserved1.
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, Reserved1) == 0x4E);

constexpr IMAGE_LOAD_CONFIG_DIRECTORY64 LoadConfig() {
  IMAGE_LOAD_CONFIG_DIRECTORY64 config = {};
  config.Size = sizeof config;
  config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
  return config;
}

}  // namespace

// Named as the linkers that fill the directory themselves expect, in a
// section of its own, which cmake/load_config.sh finds.
extern "C" {
[[gnu::section(".lcfg"),
  gnu::used]] constinit const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = LoadConfig();
}
