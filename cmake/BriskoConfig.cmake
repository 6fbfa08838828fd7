# The Brisko runtime for 32-bit Windows programs, built with its toolchain file (mingw-i686.cmake
# beside this file). A program supplies program_body() and links Brisko::program: WinMain, the
# runtime's libraries, the link options and the runtime's resource script, compiled into the program
# with the program's own program_info.h when it has one (MinGW enables the resource compiler).
# Components (all of them are always there): pure, runtime, main, program.

# brisko_not_found(MESSAGE): the package is not found, for the reason given; find_package(... REQUIRED)
# stops with it.
macro(brisko_not_found message)
  set(Brisko_FOUND FALSE)
  set(Brisko_NOT_FOUND_MESSAGE "${message}")
  return()
endmacro()

set(_brisko_components pure runtime main program)
set(_brisko_unknown "")
foreach(_brisko_component IN LISTS Brisko_FIND_COMPONENTS)
  if(_brisko_component IN_LIST _brisko_components)
    set(Brisko_${_brisko_component}_FOUND TRUE)
  else()
    set(Brisko_${_brisko_component}_FOUND FALSE)
    if(Brisko_FIND_REQUIRED_${_brisko_component})
      list(APPEND _brisko_unknown ${_brisko_component})
    endif()
  endif()
endforeach()
if(_brisko_unknown)
  list(JOIN _brisko_unknown ", " _brisko_unknown)
  brisko_not_found("unknown component ${_brisko_unknown}: Brisko has the components pure, runtime, main and program")
endif()

# The libraries are C++ for i686 Windows, built by MinGW-w64 with POSIX threads (std::thread and
# friends); another compiler fails only at the link, with errors that point nowhere.
set(_brisko_wanted "Brisko needs MinGW-w64's C++ compiler for 32-bit Windows with POSIX threads (Debian: i686-w64-mingw32-g++-posix, package g++-mingw-w64-i686); configure with -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake, which selects it.")
if(NOT CMAKE_CXX_COMPILER_LOADED)
  brisko_not_found("the project has no C++ compiler (project(... LANGUAGES CXX)). ${_brisko_wanted}")
endif()
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine OUTPUT_VARIABLE _brisko_target
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT _brisko_target MATCHES "^i[3-6]86-w64-mingw32")
  brisko_not_found("${CMAKE_CXX_COMPILER} builds for ${_brisko_target}. ${_brisko_wanted}")
endif()
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -v ERROR_VARIABLE _brisko_version OUTPUT_QUIET)
if(NOT _brisko_version MATCHES "Thread model: posix")
  string(REGEX MATCH "Thread model: ([a-z0-9]+)" _brisko_threads "${_brisko_version}")
  brisko_not_found("${CMAKE_CXX_COMPILER} has the thread model ${CMAKE_MATCH_1}. ${_brisko_wanted}")
endif()

include(${CMAKE_CURRENT_LIST_DIR}/BriskoTargets.cmake)
