# The Brisko runtime for 32-bit Windows programs (MinGW-w64, i686). A program supplies
# program_body() and links Brisko::program: WinMain, the runtime's libraries, its resources compiled
# into the program (with the program's own program_info.h when it has one) and the link options.
if(NOT WIN32)
  set(Brisko_FOUND FALSE)
  set(Brisko_NOT_FOUND_MESSAGE "Brisko builds 32-bit Windows programs: configure with its toolchain file "
                               "(-DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)")
  return()
endif()
# Each program compiles the runtime's resource script itself: a static library's resources would
# not be linked.
enable_language(RC)
include(${CMAKE_CURRENT_LIST_DIR}/BriskoTargets.cmake)
