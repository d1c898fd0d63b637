# The platform operations on POSIX systems, over the dpkg database.
target_sources(corvane_platform PRIVATE
  platform/posix/directory_resolver.cpp
  platform/posix/dpkg_database.cpp
  platform/posix/dpkg_lists.cpp
  platform/posix/error_codes.cpp
  platform/posix/helper_thread.cpp
  platform/posix/large_pages.cpp
  platform/posix/lexical_path.cpp
  platform/posix/list_lines.cpp
  platform/posix/name_index.cpp
  platform/posix/posix_platform.cpp
  platform/posix/recorded_files.cpp
  platform/posix/standard_output.cpp
  platform/posix/wildcard.cpp
)
set_source_files_properties(platform/posix/large_pages.cpp PROPERTIES
  COMPILE_DEFINITIONS CORVANE_LARGE_PAGES=$<BOOL:${CORVANE_LARGE_PAGES}>)
# Helper threads open the lists ahead of the reader and order the listing.
find_package(Threads REQUIRED)
target_link_libraries(corvane_platform PUBLIC Threads::Threads)
