# Makes the manual page as a web page beside the playground: mandoc renders
# the page's roff source (tables included) as HTML, which manual.html.in
# puts into a page with the playground's style.
#
#   cmake -DMANDOC=mandoc -DIN=orvix.1 -DTEMPLATE=manual.html.in -DOUT=manual.html -P manual.cmake
#
# Any error mandoc finds in the source fails the build; its warnings do not.

execute_process(COMMAND ${MANDOC} -T html -O fragment -W error ${IN}
  OUTPUT_VARIABLE MANUAL
  ERROR_VARIABLE errors
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "mandoc cannot render ${IN} (status ${result}):\n${errors}")
endif()
file(READ ${TEMPLATE} page)
string(CONFIGURE "${page}" page @ONLY)
file(WRITE ${OUT} "${page}")
