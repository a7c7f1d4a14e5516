# Turns fontnames.tsv into a C++ array initialiser at build time.
# Usage: cmake -DIN=fontnames.tsv -DOUT=fontnames.inc -P fontnames.cmake
#
# The table is data, kept in its own file so that it can be read and
# extended without touching code; this script checks every line so that a
# malformed entry fails the build instead of silently mapping fonts wrongly.

file(READ "${IN}" text)
string(REPLACE "\r" "" text "${text}")
# Names are restricted to characters that need no escaping in C++ or CMake
# lists; that restriction is what makes this simple split safe.
foreach(bad ";" "\\" "[" "]" "\"")
  string(FIND "${text}" "${bad}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${IN}: the character ${bad} is not allowed, not even in comments")
  endif()
endforeach()
string(REPLACE "\n" ";" lines "${text}")

set(out "// Generated from fontnames.tsv by fontnames.cmake. Do not edit.\n")
set(count 0)
set(lineno 0)
foreach(line IN LISTS lines)
  math(EXPR lineno "${lineno} + 1")
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  if(NOT line MATCHES "^([A-Za-z0-9 ,+._-]*)\t([A-Za-z0-9 ,+._-]+)$")
    message(FATAL_ERROR "${IN}:${lineno}: expected 'PostScript name<TAB>family name'")
  endif()
  set(ps "${CMAKE_MATCH_1}")
  set(family "${CMAKE_MATCH_2}")
  if(count EQUAL 0 AND NOT ps STREQUAL "")
    message(FATAL_ERROR "${IN}:${lineno}: the first entry must have an empty name")
  endif()
  if(count GREATER 0 AND ps STREQUAL "")
    message(FATAL_ERROR "${IN}:${lineno}: only the first entry may have an empty name")
  endif()
  string(APPEND out "{\"${ps}\", \"${family}\"},\n")
  math(EXPR count "${count} + 1")
endforeach()

if(count EQUAL 0)
  message(FATAL_ERROR "${IN}: no entries")
endif()
file(WRITE "${OUT}" "${out}")
