# Renders the manual page as plain text, for systems without man (the
# Windows zip carries it as xev.txt):
#
#   cmake -DMANDOC=/usr/bin/mandoc -DINPUT=doc/xev.1 -DOUTPUT=xev.txt
#         [-DLINE_END=CRLF] -P scripts/man_to_text.cmake
#
# mandoc marks bold and underlined text by overstriking (x BS x, _ BS x);
# those pairs are reduced to the plain character.
foreach(var MANDOC INPUT OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "man_to_text: ${var} is not set")
  endif()
endforeach()

execute_process(
  COMMAND "${MANDOC}" -Tascii "${INPUT}"
  OUTPUT_VARIABLE text
  ERROR_VARIABLE errors
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "man_to_text: mandoc failed on ${INPUT}: ${errors}")
endif()

string(ASCII 8 backspace)
string(REGEX REPLACE ".${backspace}" "" text "${text}")
if(LINE_END STREQUAL "CRLF")
  string(REPLACE "\n" "\r\n" text "${text}")
endif()
file(WRITE "${OUTPUT}" "${text}")
