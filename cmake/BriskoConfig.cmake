# The Brisko runtime for 32-bit Windows programs, built with its toolchain file (mingw-i686.cmake
# beside this file). A program supplies program_body() and links Brisko::program: WinMain, the
# runtime's libraries, the link options and the runtime's resource script, compiled into the program
# with the program's own program_info.h when it has one (MinGW enables the resource compiler).
include(${CMAKE_CURRENT_LIST_DIR}/BriskoTargets.cmake)
