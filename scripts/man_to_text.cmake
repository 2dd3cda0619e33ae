# Renders the manual page as plain text, for systems without man (the
# Windows zip carries it as xev.txt):
#
#   cmake -DMANDOC=/usr/bin/mandoc -DINPUT=doc/cpmxev.1 -DOUTPUT=xev.txt
#         [-DLINE_END=CRLF] [-DCOMMAND=xev] -P scripts/man_to_text.cmake
#
# With COMMAND the page is first made over for a system where the program is
# called so: cpmxev (CPMXEV) becomes COMMAND (in upper case), and the lines
# from `.\" POSIX {` to `.\" POSIX }` are left out.
#
# mandoc marks bold and underlined text by overstriking (x BS x, _ BS x);
# those pairs are reduced to the plain character.
cmake_minimum_required(VERSION 3.25)
foreach(var MANDOC INPUT OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "man_to_text: ${var} is not set")
  endif()
endforeach()

set(page "${INPUT}")
if(DEFINED COMMAND)
  file(READ "${INPUT}" source)
  set(kept "")
  while(TRUE)
    string(FIND "${source}" ".\\\" POSIX {\n" begin)
    if(begin EQUAL -1)
      break()
    endif()
    string(FIND "${source}" ".\\\" POSIX }\n" end)
    string(SUBSTRING "${source}" 0 ${begin} before)
    math(EXPR end "${end} + 12")
    string(SUBSTRING "${source}" ${end} -1 source)
    string(APPEND kept "${before}")
  endwhile()
  string(APPEND kept "${source}")
  string(TOUPPER "${COMMAND}" upper)
  string(REPLACE "cpmxev" "${COMMAND}" kept "${kept}")
  string(REPLACE "CPMXEV" "${upper}" kept "${kept}")
  set(page "${OUTPUT}.1")
  file(WRITE "${page}" "${kept}")
endif()

execute_process(
  COMMAND "${MANDOC}" -Tascii "${page}"
  OUTPUT_VARIABLE text
  ERROR_VARIABLE errors
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "man_to_text: mandoc failed on ${INPUT}: ${errors}")
endif()
if(DEFINED COMMAND)
  file(REMOVE "${page}")
endif()

string(ASCII 8 backspace)
string(REGEX REPLACE ".${backspace}" "" text "${text}")
if(LINE_END STREQUAL "CRLF")
  string(REPLACE "\n" "\r\n" text "${text}")
endif()
file(WRITE "${OUTPUT}" "${text}")
