# orvix.exe's resources, and the Windows zip (cpack -G ZIP, or the windows
# workflow): orvix.exe, the README for Windows users, the licence, an
# example and the manual page as plain text, each text with CR LF line
# ends, side by side at the top of the zip: Explorer's "Extract All" puts
# them in one folder named as the zip, orvix-<version>-win64, where
# README.txt says they are.

# The version, which Explorer shows in the file's properties, and the
# manifest: paths of any length, UTF-8 as the ANSI code page. MSVC's linker
# writes a manifest of its own and merges this one into it; other linkers
# take it as resource 1 of type 24 (RT_MANIFEST), which Windows reads when
# it starts the program.
enable_language(RC)
set(ORVIX_MANIFEST ${PROJECT_SOURCE_DIR}/cmake/orvix.manifest)
if(MSVC)
  set(ORVIX_MANIFEST_RESOURCE "")
  target_sources(orvix PRIVATE ${ORVIX_MANIFEST})
else()
  set(ORVIX_MANIFEST_RESOURCE "1 24 \"${ORVIX_MANIFEST}\"")
endif()
configure_file(cmake/orvix.rc.in ${PROJECT_BINARY_DIR}/windows/orvix.rc @ONLY)
target_sources(orvix PRIVATE ${PROJECT_BINARY_DIR}/windows/orvix.rc)
set_property(SOURCE ${PROJECT_BINARY_DIR}/windows/orvix.rc APPEND PROPERTY
  OBJECT_DEPENDS ${ORVIX_MANIFEST})

# The texts, each IN>OUT: the README for Windows users, the licence, an
# example to assemble first, and the manual page, which needs groff (with
# tbl, for its tables) to become text: a build on Windows itself without it
# packs the other texts.
find_program(GROFF groff)
configure_file(cmake/README.txt.in ${PROJECT_BINARY_DIR}/windows/README.txt.in @ONLY)
set(texts
  ${PROJECT_BINARY_DIR}/windows/README.txt.in>README.txt
  ${PROJECT_SOURCE_DIR}/LICENSE>LICENSE.txt
  ${PROJECT_SOURCE_DIR}/examples/counter.asm>counter.asm)
if(GROFF)
  list(APPEND texts ${ORVIX_MANPAGE}>orvix.txt)
else()
  message(STATUS "groff not found: the zip will not hold the manual page")
endif()
set(windows_texts "")
foreach(text ${texts})
  string(REPLACE ">" ";" text "${text}")
  list(GET text 0 in)
  list(GET text 1 name)
  set(out ${PROJECT_BINARY_DIR}/windows/zip/${name})
  set(render "")
  if(in STREQUAL ORVIX_MANPAGE)
    set(render -DGROFF=${GROFF})
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
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# orvix.exe without its symbols and debug information (about a third of
# its size).
set(CPACK_STRIP_FILES ON)
include(CPack)
