# The platform operations on POSIX systems, over the dpkg database and, with
# CORVANE_RPM, the rpm database.
target_sources(corvane_platform PRIVATE
  platform/posix/error_codes.cpp
  platform/posix/lexical_path.cpp
  platform/posix/packages/package_database.cpp
  platform/posix/packages/dpkg/dpkg_database.cpp
  platform/posix/packages/dpkg/list_reader.cpp
  platform/posix/packages/recorded_database.cpp
  platform/posix/packages/recorded_files.cpp
  platform/posix/posix_platform.cpp
  platform/posix/standard_output.cpp
  platform/posix/text_conversion.cpp
  platform/posix/wildcard.cpp
)
find_package(Threads REQUIRED)

# librpm (Debian's librpm-dev) reads rpm's database. The program loads it
# only where there is no dpkg database, so neither package depends on it,
# and a run on a dpkg system maps none of it; the build needs its headers,
# and the program loads whichever of the names it knows the system has.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(RPM QUIET rpm)
endif()
option(CORVANE_RPM "Answer from the rpm database on systems without dpkg's (needs librpm-dev)"
       ${RPM_FOUND})
if(CORVANE_RPM)
  if(NOT RPM_FOUND)
    message(FATAL_ERROR "CORVANE_RPM is on but librpm was not found: install librpm-dev "
                        "(bash tools/check installs it), or configure with -DCORVANE_RPM=OFF")
  endif()
  target_sources(corvane_platform PRIVATE platform/posix/packages/rpm/rpm_database.cpp)
  target_include_directories(corvane_platform PRIVATE ${RPM_INCLUDE_DIRS})
  target_link_libraries(corvane_platform PUBLIC ${CMAKE_DL_LIBS})
  target_compile_definitions(corvane_platform PRIVATE CORVANE_RPM=1)
  message(STATUS "rpm support: on (built with librpm ${RPM_VERSION}'s headers; loads "
                 "librpm.so.10, .9 or .8 where there is no dpkg database)")
else()
  message(STATUS "rpm support: off (answers from the dpkg database only; librpm-dev and "
                 "-DCORVANE_RPM=ON add the rpm database)")
endif()
# PATH_MAX: the path buffers of the core and of the list record.
foreach(target corvane_core corvane_platform)
  target_compile_definitions(${target} PUBLIC CORVANE_MAX_PATH=4096)
endforeach()
