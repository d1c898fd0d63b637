// The records of an rpm database, read through librpm (the library the rpm
// command uses, for every backend it has): this folder holds rpm's reader
// and nothing else. Here: the librpm handles, each freed by its own call.
#pragma once

#include <rpm/header.h>
#include <rpm/rpmdb.h>
#include <rpm/rpmfiles.h>
#include <rpm/rpmts.h>

#include <memory>
#include <type_traits>

namespace corvane::posix::rpm {

// Frees a handle of type T through `Free`, the call librpm gives for it.
template <typename T, T (*Free)(T)>
struct Freer {
  void operator()(T handle) const { Free(handle); }
};
template <typename T, T (*Free)(T)>
using Handle = std::unique_ptr<std::remove_pointer_t<T>, Freer<T, Free>>;

using Transaction = Handle<rpmts, rpmtsFree>;
using Iterator = Handle<rpmdbMatchIterator, rpmdbFreeIterator>;
using Files = Handle<rpmfiles, rpmfilesFree>;

}  // namespace corvane::posix::rpm
