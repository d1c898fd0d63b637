// librpm, which reads every backend of rpm's, loaded when first needed: a
// program answering from dpkg's database never maps it or what it needs
// (sqlite, lua, a crypto library), and no package depends on it.
#pragma once

#include <dlfcn.h>
#include <rpm/header.h>
#include <rpm/rpmdb.h>
#include <rpm/rpmfiles.h>
#include <rpm/rpmlib.h>
#include <rpm/rpmlog.h>
#include <rpm/rpmmacro.h>
#include <rpm/rpmtd.h>
#include <rpm/rpmts.h>

#include "platform/unique_any.h"

namespace corvane::posix::rpm {

// Each librpm call the reader makes, typed as librpm's headers declare it:
// the same in rpm 4.14 (librpm.so.8), 4.15-4.18 (.9) and 4.19-4.20 (.10).
// clang-format off
#define CORVANE_RPM_CALLS(CALL)                                                  \
  CALL(rpmReadConfigFiles) CALL(rpmGetPath) CALL(rpmExpand) CALL(rpmPushMacro)   \
  CALL(rpmPopMacro) CALL(rpmlogSetCallback) CALL(rpmlogRecPriority)              \
  CALL(rpmtsCreate) CALL(rpmtsFree) CALL(rpmtsSetRootDir) CALL(rpmtsVSFlags)     \
  CALL(rpmtsSetVSFlags) CALL(rpmtsOpenDB) CALL(rpmtsGetRdb) CALL(rpmtsInitIterator) \
  CALL(rpmdbGetIteratorCount) CALL(rpmdbNextIterator) CALL(rpmdbFreeIterator)        \
  CALL(headerGet) CALL(rpmtdFreeData)
// clang-format on

struct Library {
#define CORVANE_RPM_MEMBER(name) decltype(&::name) name;
  CORVANE_RPM_CALLS(CORVANE_RPM_MEMBER)
#undef CORVANE_RPM_MEMBER
  // Fails for the stand-in librpm opens for a backend it lacks; rpm 4.16
  // added both, so it is nullptr in older ones, which fail the open instead.
  decltype(&::rpmdbFStat) rpmdbFStat;
};

// The digest and signature checks the reader turns off, as rpm 4.14 names them (_RPMVSF_NODIGESTS,
// _RPMVSF_NOSIGNATURES): 4.15 renamed and regrouped the bits; these masks kept their values.
inline constexpr rpmVSFlags kNoDigests = RPMVSF_MASK_NODIGESTS;
inline constexpr rpmVSFlags kNoSignatures = RPMVSF_MASK_NOSIGNATURES;
static_assert(kNoDigests == 0x30300 && kNoSignatures == 0xc0c00);

// The system's newest librpm with every call above, loaded once a run; or nullptr.
inline const Library* Load() {
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

// A handle that `Free`, librpm's call for it, frees; only made once Load() has answered.
template <typename T, auto Free>
struct HandleTraits {
  using Type = T;
  static T Invalid() { return nullptr; }
  static bool Valid(T handle) { return handle != nullptr; }
  void Close(T handle) const { (Load()->*Free)(handle); }
};
using Transaction = UniqueAny<HandleTraits<rpmts, &Library::rpmtsFree>>;
using Iterator = UniqueAny<HandleTraits<rpmdbMatchIterator, &Library::rpmdbFreeIterator>>;

// A header's tag, pointing into the header (HEADERGET_MINMEM); empty when it has none.
class Tag {
 public:
  Tag(Header header, rpmTagVal tag) {
    if (Load()->headerGet(header, tag, &data_, HEADERGET_MINMEM) == 0) data_ = {};
  }
  Tag(const Tag&) = delete;
  Tag& operator=(const Tag&) = delete;
  ~Tag() { Load()->rpmtdFreeData(&data_); }
  // The entries as `T`, or nullptr when there are not `count` of them of `type`.
  template <typename T>
  const T* Array(rpmTagType type, rpm_count_t count) const {
    return data_.type == type && data_.count == count ? static_cast<const T*>(data_.data) : nullptr;
  }
  rpm_count_t count() const { return data_.count; }

 private:
  rpmtd_s data_{};
};

}  // namespace corvane::posix::rpm
