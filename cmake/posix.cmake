target_sources(corvane_platform PRIVATE
  platform/posix/posix_platform.cpp
)
