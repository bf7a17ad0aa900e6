# Read by cpack for each generator it runs, before it installs the tree.
#
# Build what the package holds, and only that: installing builds nothing in
# this project (see install.cmake), so that packaging does not build the test
# suite as well.
if(CPACK_INSTALL_CMAKE_PROJECTS AND CPACK_ORVIX_BUILD_TARGETS)
  set(build_args --build ${CPACK_ORVIX_BINARY_DIR} --target ${CPACK_ORVIX_BUILD_TARGETS})
  if(CPACK_BUILD_CONFIG)
    list(APPEND build_args --config ${CPACK_BUILD_CONFIG})
  endif()
  execute_process(COMMAND ${CPACK_ORVIX_CMAKE_COMMAND} ${build_args} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building ${CPACK_ORVIX_BUILD_TARGETS} for the package failed (${rc})")
  endif()
endif()

# The Depends line of the Debian package comes from dpkg-shlibdeps, which
# needs file to tell the ELF files apart; without them CPack would quietly
# build a package that depends on nothing, so their absence ends the package
# step instead.
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
