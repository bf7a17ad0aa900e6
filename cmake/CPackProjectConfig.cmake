# Read by cpack for each generator it runs. The Depends line of the Debian
# package comes from dpkg-shlibdeps, which needs file to tell the ELF files
# apart; without them CPack would quietly build a package that depends on
# nothing, so their absence ends the package step instead.
if(CPACK_GENERATOR STREQUAL "DEB")
  cmake_policy(PUSH)
  cmake_policy(SET CMP0109 NEW)  # a tool counts only when it can be run
  foreach(tool dpkg-shlibdeps file)
    find_program(tool_path_${tool} ${tool})
    if(NOT tool_path_${tool})
      message(FATAL_ERROR
        "${tool} not found: it is needed for the Depends line of the Debian "
        "package (apt-get install dpkg-dev file)")
    endif()
  endforeach()
  cmake_policy(POP)
endif()
