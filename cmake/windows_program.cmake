# The executable's version record and icon, and a runtime linked in whole so
# corvane.exe needs no DLL beyond the system's own.
enable_language(RC)
target_sources(corvane PRIVATE res/corvane.rc)
set_property(SOURCE res/corvane.rc APPEND PROPERTY
  INCLUDE_DIRECTORIES ${CMAKE_CURRENT_SOURCE_DIR}/res)
set_property(SOURCE res/corvane.rc APPEND PROPERTY
  OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/res/corvane.ico)
target_link_options(corvane PRIVATE -static -static-libgcc -static-libstdc++
  $<$<CONFIG:Release,MinSizeRel>:-s>)
# The load configuration, in the program itself: nothing refers to it, so
# from a library the linker would leave it out.
target_sources(corvane PRIVATE platform/windows/load_config.cpp)
add_custom_command(TARGET corvane POST_BUILD
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cmake/load_config.sh ${CMAKE_OBJDUMP}
          $<TARGET_FILE:corvane>
  VERBATIM)
