cmake_minimum_required(VERSION 3.25)
# cmake -DSOURCE_DIR=... -DLINKS=... -DSIMULATOR=aerolis_lnssim -P checkseams.cmake
#
# Fails (and names every offender) when a source file under src/ outside
# src/lnssim includes or names the simulator, or when a library outside
# src/lnssim reaches the simulator's library through its link interface.

set(_offences)

file(GLOB_RECURSE _sources RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/CMakeLists.txt ${SOURCE_DIR}/src/*.cmake)
foreach(_file ${_sources})
  if(_file MATCHES "^src/lnssim/")
    continue()
  endif()
  # Code, not prose: an include, a qualified name or the library's target.
  file(READ ${SOURCE_DIR}/${_file} _text)
  # One list item per line (a ";" in the code must not split a line).
  string(REPLACE ";" "," _text "${_text}")
  string(REPLACE "\n" ";" _lines "${_text}")
  foreach(_line IN LISTS _lines)
    if(_line MATCHES "#[ \t]*include[ \t]*[<\"]lnssim/|lnssim::|${SIMULATOR}")
      string(STRIP "${_line}" _line)
      list(APPEND _offences "${_file}: ${_line}")
    endif()
  endforeach()
endforeach()

file(STRINGS ${LINKS} _links)
if(NOT _links)
  message(FATAL_ERROR "no library link interface in ${LINKS}: configure the build first")
endif()
foreach(_line ${_links})
  if(_line MATCHES "^([^:]+): (.*)$")
    set(_who "${CMAKE_MATCH_1}")
    string(REPLACE " " ";" _reached "${CMAKE_MATCH_2}")
    if(SIMULATOR IN_LIST _reached)
      list(APPEND _offences "${_who} links ${SIMULATOR}")
    endif()
  endif()
endforeach()

list(LENGTH _offences _count)
if(_count GREATER 0)
  string(JOIN "\n  " _text ${_offences})
  message(FATAL_ERROR "${_count} place(s) outside src/lnssim name or link the simulator:\n  ${_text}")
endif()
message(STATUS "no library outside src/lnssim names or links the simulator")
