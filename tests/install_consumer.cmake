# Installs the built project into a fresh prefix, then configures, builds and
# runs tests/consumer against that prefix with find_package, and runs the
# installed assembler on an example. Run with cmake -P and the variables
# BUILD_DIR, SOURCE_DIR, WORK_DIR, CXX, CXX_FLAGS and LINKER_FLAGS.
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " cmd)
    message(FATAL_ERROR "failed (${rc}): ${cmd}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file
    lib/libcontainer.a
    include/libcontainer/libcontainer.h
    include/libcontainer/string.h
    lib/cmake/libcontainer/libcontainerConfig.cmake
    lib/cmake/libcontainer/libcontainerConfigVersion.cmake
    lib/cmake/libcontainer/libcontainerTargets.cmake)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
if(EXISTS ${SOURCE_DIR}/docs/orvix.1 AND NOT EXISTS ${prefix}/share/man/man1/orvix.1)
  message(FATAL_ERROR "not installed: the manual page")
endif()
if(EXISTS ${prefix}/include/string.h)
  message(FATAL_ERROR "a library header landed directly in include/")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK_DIR}/build
  -DCMAKE_PREFIX_PATH=${prefix}
  -DCMAKE_CXX_COMPILER=${CXX}
  "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)

if(EXISTS ${prefix}/bin/orvix)
  run(${prefix}/bin/orvix ${SOURCE_DIR}/examples/counter.asm ${WORK_DIR}/counter.mif)
  # The first line names the output path; the rest is the image itself.
  file(STRINGS ${WORK_DIR}/counter.mif got)
  file(STRINGS ${SOURCE_DIR}/examples/counter.mif want)
  list(REMOVE_AT got 0)
  list(REMOVE_AT want 0)
  if(NOT got STREQUAL want)
    message(FATAL_ERROR "installed orvix: counter.mif differs from the example")
  endif()
endif()
file(REMOVE_RECURSE ${WORK_DIR})
