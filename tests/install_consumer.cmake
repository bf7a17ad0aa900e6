# Installs the built project into a fresh prefix, then builds and runs
# tests/consumer against that prefix twice, once as a CMake project with
# find_package and once with a plain compiler line and pkg-config, and runs
# the installed assembler on an example. Run with cmake -P and the variables
# BUILD_DIR, SOURCE_DIR, WORK_DIR, VERSION (the project's), LIBDIR (the
# library directory relative to the prefix), CXX, PKG_CONFIG (empty or
# NOTFOUND: the pkg-config half is left out, and the last line says so),
# CXX_FLAGS and LINKER_FLAGS.
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
    ${LIBDIR}/libcontainer.a
    include/libcontainer/libcontainer.h
    include/libcontainer/string.h
    ${LIBDIR}/cmake/libcontainer/libcontainerConfig.cmake
    ${LIBDIR}/cmake/libcontainer/libcontainerConfigVersion.cmake
    ${LIBDIR}/cmake/libcontainer/libcontainerTargets.cmake
    ${LIBDIR}/pkgconfig/libcontainer.pc
    bin/orvix
    share/man/man1/orvix.1.gz
    share/doc/orvix/copyright)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(READ ${prefix}/share/doc/orvix/copyright copyright)
file(READ ${SOURCE_DIR}/LICENSE license)
if(NOT copyright STREQUAL license)
  message(FATAL_ERROR "share/doc/orvix/copyright is not the LICENSE file")
endif()
if(EXISTS ${prefix}/include/string.h)
  message(FATAL_ERROR "a library header landed directly in include/")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK_DIR}/build
  -DCMAKE_PREFIX_PATH=${prefix}
  -DLIBCONTAINER_VERSION=${VERSION}
  -DCMAKE_CXX_COMPILER=${CXX}
  "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
  "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)

# The same program built the way a project without CMake does, by a shell
# line that asks pkg-config for the flags, which name the prefix plainly.
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
  foreach(query modversion cflags libs)
    execute_process(COMMAND ${PKG_CONFIG} --${query} libcontainer
      OUTPUT_VARIABLE pc_${query} OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "pkg-config --${query} libcontainer failed (${rc})")
    endif()
  endforeach()
  foreach(check
      "modversion|${VERSION}"
      "cflags|-I${prefix}/include"
      "libs|-L${prefix}/${LIBDIR} -lcontainer")
    string(REPLACE "|" ";" check "${check}")
    list(GET check 0 query)
    list(GET check 1 want)
    if(NOT pc_${query} STREQUAL want)
      message(FATAL_ERROR "pkg-config --${query} libcontainer: '${pc_${query}}', want '${want}'")
    endif()
  endforeach()
  run(sh -c "\"$1\" -std=c++17 ${CXX_FLAGS} ${LINKER_FLAGS} -o \"$2\" \"$3\" \
    $(\"$4\" --cflags --libs libcontainer)" sh
    ${CXX} ${WORK_DIR}/consumer_pc ${SOURCE_DIR}/tests/consumer/main.cpp ${PKG_CONFIG})
  run(${WORK_DIR}/consumer_pc)
endif()

run(${prefix}/bin/orvix ${SOURCE_DIR}/examples/counter.asm ${WORK_DIR}/counter.mif)
# The first line names the output path; the rest is the image itself.
file(STRINGS ${WORK_DIR}/counter.mif got)
file(STRINGS ${SOURCE_DIR}/examples/counter.mif want)
list(REMOVE_AT got 0)
list(REMOVE_AT want 0)
if(NOT got STREQUAL want)
  message(FATAL_ERROR "installed orvix: counter.mif differs from the example")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
if(NOT PKG_CONFIG)
  # CTest reports the test skipped on this line.
  message("pkg-config not found: the pkg-config file was not checked "
    "(on Debian: apt-get install pkg-config)")
endif()
