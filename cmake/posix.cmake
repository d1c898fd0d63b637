# The platform operations on POSIX systems, over the dpkg database.
target_sources(corvane_platform PRIVATE
  platform/posix/error_codes.cpp
  platform/posix/lexical_path.cpp
  platform/posix/packages/directory_resolver.cpp
  platform/posix/packages/directory_table.cpp
  platform/posix/packages/dpkg/dpkg_database.cpp
  platform/posix/packages/dpkg/dpkg_lists.cpp
  platform/posix/packages/dpkg/read_ahead.cpp
  platform/posix/packages/large_pages.cpp
  platform/posix/packages/name_index.cpp
  platform/posix/packages/recorded_files.cpp
  platform/posix/packages/text_blocks.cpp
  platform/posix/posix_platform.cpp
  platform/posix/standard_output.cpp
  platform/posix/text_conversion.cpp
  platform/posix/wildcard.cpp
)
find_package(Threads REQUIRED)
target_link_libraries(corvane_platform PUBLIC Threads::Threads)
# PATH_MAX: the path buffers of the core and of the list record.
foreach(target corvane_core corvane_platform)
  target_compile_definitions(${target} PUBLIC CORVANE_MAX_PATH=4096)
endforeach()
