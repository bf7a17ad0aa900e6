# The Windows zip (cpack -G ZIP, or the windows workflow): orvix.exe, the
# README, the licence and the manual page as plain text, side by side at
# the top of orvix-<version>-win64/, each text with CR LF line ends.

# The manual page needs groff to become text: a build on Windows itself
# without it packs the other texts.
find_program(GROFF groff)
set(texts README.md LICENSE)
if(GROFF)
  list(APPEND texts docs/orvix.1)
else()
  message(STATUS "groff not found: the zip will not hold the manual page")
endif()
set(windows_texts "")
foreach(text ${texts})
  get_filename_component(name ${text} NAME_WE)
  set(out ${PROJECT_BINARY_DIR}/windows/${name}.txt)
  if(text STREQUAL "docs/orvix.1")
    set(in ${ORVIX_MANPAGE})
    set(render -DGROFF=${GROFF})
  else()
    set(in ${PROJECT_SOURCE_DIR}/${text})
    set(render "")
  endif()
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DIN=${in} -DOUT=${out} ${render}
      -P ${PROJECT_SOURCE_DIR}/cmake/textfile.cmake
    DEPENDS ${in} ${PROJECT_SOURCE_DIR}/cmake/textfile.cmake
    VERBATIM)
  list(APPEND windows_texts ${out})
endforeach()
add_custom_target(orvix_windows_texts ALL DEPENDS ${windows_texts})

install(TARGETS orvix RUNTIME DESTINATION .)
install(FILES ${windows_texts} DESTINATION .)

set(CPACK_PACKAGE_NAME orvix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "orvix project")
set(CPACK_SYSTEM_NAME win64)
set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
