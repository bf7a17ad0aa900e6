# cmake -DIN=<file> -DOUT=<file> [-DGROFF=<groff>] -P textfile.cmake
#
# Writes IN as a text file for Windows: every line ends in CR LF. With
# GROFF, IN is a manual page and is rendered as plain text first: its tables
# as tables (tbl, groff -t), without bold, underline or other terminal
# effects.
if(GROFF)
  execute_process(COMMAND ${GROFF} -t -man -Tascii -P-c -P-b -P-o -P-u ${IN}
    OUTPUT_VARIABLE text RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${GROFF} could not render ${IN}")
  endif()
else()
  file(READ ${IN} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
