# The Windows build's tests on Linux, under Wine (Debian's wine and wine64),
# in a Wine prefix of the build's own under the build directory.
#
# - The cross-compiled test programs run through CTest's emulator, the
#   script wine-run, which every other use of Wine here goes through too.
# - The end-to-end tables are Linux programs that start the binary named by
#   ORVIX_BIN: they are built for the build machine (an ExternalProject of
#   this source tree, the end-to-end programs only) and run against the
#   launcher orvix-wine, which starts orvix.exe under Wine. ORVIX_TARGET
#   tells them to expect Windows' line ends and to skip what only POSIX
#   systems have (tests/orvix_run.h). ORVIX_WINE_DRIVES, Wine's drive
#   links, lets a row run orvix at the root of a drive of its own.
# - The prefix is made once, by the fixture every Windows test needs, and a
#   persistent wineserver spares each start of a program its own.

find_program(ORVIX_WINE NAMES wine64 wine HINTS /usr/lib/wine REQUIRED)
find_program(ORVIX_WINESERVER NAMES wineserver64 wineserver HINTS /usr/lib/wine REQUIRED)
# Wine's preloader reserves the addresses a Windows program needs before the
# system's loader can put anything there; without it about one start in a
# few thousand fails at once ("failed to map the shared user data", status 1,
# silent with WINEDEBUG=-all), which would fail a test now and then.
get_filename_component(wine_dir ${ORVIX_WINE} DIRECTORY)
find_program(ORVIX_WINE_PRELOADER NAMES wine64-preloader wine-preloader PATHS ${wine_dir}
  NO_DEFAULT_PATH)
if(NOT ORVIX_WINE_PRELOADER)
  message(FATAL_ERROR "The Windows tests need Wine's preloader, next to ${ORVIX_WINE}: "
    "on Debian, apt-get install wine64-preloader")
endif()
set(ORVIX_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)

# Wine turns the Unix side's names and arguments into Windows' UTF-16 by the
# locale's character set: UTF-8 whatever locale, or none, the caller has, so
# that non-ASCII names reach orvix.exe as the tests wrote them. C.UTF-8 is
# built into the C library.
set(wine_run ${PROJECT_BINARY_DIR}/wine-run)
file(CONFIGURE OUTPUT ${wine_run}.in CONTENT [=[#!/bin/sh
# Runs a program of the Windows build under Wine.
WINEPREFIX='@ORVIX_WINEPREFIX@'
WINEDEBUG=-all
LC_ALL=C.UTF-8
export WINEPREFIX WINEDEBUG LC_ALL
exec '@ORVIX_WINE@' "$@"
]=] @ONLY)
file(GENERATE OUTPUT ${wine_run} INPUT ${wine_run}.in
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${wine_run})

set(orvix_wine ${PROJECT_BINARY_DIR}/orvix-wine)
file(GENERATE OUTPUT ${orvix_wine} CONTENT "#!/bin/sh
# orvix.exe of this build, run under Wine.
exec '${wine_run}' '$<TARGET_FILE:orvix>' \"$@\"
"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)

# The prefix, made before the first test and kept; the wineserver stays up
# until the last test has run. What a killed run may have left goes first:
# its wineserver, and the drives a row maps for itself (d: to y:).
# Wine's background processes outlive the test: their output goes to a log,
# so that CTest does not wait for them.
set(wine_log ${PROJECT_BINARY_DIR}/wineprefix.log)
add_test(NAME wine.start COMMAND sh -c
  "mkdir -p '${ORVIX_WINEPREFIX}' &&
   rm -f '${ORVIX_WINEPREFIX}'/dosdevices/[d-y]: &&
   { WINEPREFIX='${ORVIX_WINEPREFIX}' '${ORVIX_WINESERVER}' -k 2>/dev/null; true; } &&
   WINEPREFIX='${ORVIX_WINEPREFIX}' '${ORVIX_WINESERVER}' -p </dev/null >'${wine_log}' 2>&1 &&
   '${wine_run}' wineboot -i </dev/null >>'${wine_log}' 2>&1 || { cat '${wine_log}'; exit 1; }")
add_test(NAME wine.stop COMMAND env WINEPREFIX=${ORVIX_WINEPREFIX} ${ORVIX_WINESERVER} -k)
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP emulator TIMEOUT 300)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP emulator)

# A Windows program that holds an image open as a simulator would, for the
# row that needs one.
add_executable(hold_open hold_open.cpp)
set(hold_open "'${wine_run}' '$<TARGET_FILE:hold_open>'")

# The end-to-end programs, built for this machine.
include(ExternalProject)
set(host_dir ${CMAKE_CURRENT_BINARY_DIR}/host)
ExternalProject_Add(host_end_to_end_tests
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${host_dir}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_dir} --parallel 2 --target ${END_TO_END_TESTS}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  EXCLUDE_FROM_ALL OFF)

# Each program in shards (GoogleTest's GTEST_SHARD_INDEX of
# GTEST_TOTAL_SHARDS) that take about ten seconds each on an idle machine,
# where every start of orvix.exe costs a tenth of a second; the two CTest
# jobs share them out. A shard that hangs fails after five minutes, time
# enough for a shard on a busy machine.
set(shards_orvix_badinput_test 2)
set(shards_orvix_diagnostics_test 6)
set(shards_orvix_e2e_test 1)
set(shards_orvix_formats_test 6)
# (A program not named here runs in two.)
set(host_environment "ORVIX_SOURCE_DIR=${PROJECT_SOURCE_DIR};ORVIX_BIN=${orvix_wine};ORVIX_VERSION=${PROJECT_VERSION};ORVIX_TARGET=windows;ORVIX_HOLD_OPEN=${hold_open}")
# The host build makes the Verilator testbench as a native build does.
find_program(ORVIX_VERILATOR verilator)
if(ORVIX_VERILATOR)
  list(APPEND host_environment "ORVIX_VERILATOR_TESTBENCH=${host_dir}/tests/verilator/Vrom_tb")
endif()
foreach(name ${END_TO_END_TESTS})
  set(shards ${shards_${name}})
  if(NOT shards)
    set(shards 2)
  endif()
  math(EXPR last "${shards} - 1")
  foreach(shard RANGE ${last})
    set(test windows.${name}.${shard})
    add_test(NAME ${test} COMMAND ${host_dir}/tests/${name})
    set_tests_properties(${test} PROPERTIES TIMEOUT 300 FIXTURES_REQUIRED emulator
      ENVIRONMENT "${host_environment};ORVIX_WINE_DRIVES=${ORVIX_WINEPREFIX}/dosdevices;GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${shard}")
  endforeach()
endforeach()
