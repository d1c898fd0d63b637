target_sources(corvane_platform PRIVATE
  platform/windows/standard_output.cpp
  platform/windows/windows_platform.cpp
)
# The protection service is bound when the program loads, through sfc.dll's
# import library.
target_link_libraries(corvane_platform PUBLIC sfc)
# CommandLineToArgvW splits the wide command line.
target_link_libraries(corvane_platform PUBLIC shell32)
# MAX_PATH: the path buffers of the core and of the list record.
foreach(target corvane_core corvane_platform)
  target_compile_definitions(${target} PUBLIC CORVANE_MAX_PATH=260)
endforeach()
