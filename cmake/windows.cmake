target_sources(corvane_platform PRIVATE
  platform/windows/windows_platform.cpp
)
# The protection service is bound when the program loads, through sfc.dll's
# import library.
target_link_libraries(corvane_platform PUBLIC sfc)
