# The playground's browser test, run by CTest in three ways:
#   cmake -DNPM=npm -DNPM_DIR=<dir> -P browser_test.cmake
#     installs its driver, playwright-core, and axe-core into
#     NPM_DIR/node_modules by `npm ci` from NPM_DIR/package-lock.json when
#     they are missing or older than the lock; when npm cannot install them
#     (no network, no registry) it says so on a line that CTest reads as a
#     skip. With -DINSTALL_ONLY=ON (the build target) that is an error.
#   cmake -DNPM_DIR=<dir> -DNODE=node -DTEST_SCRIPT=<test.js> -P browser_test.cmake
#     runs the test, or is skipped, saying why, when the install above could
#     not be made.

set(installed ${NPM_DIR}/node_modules/.package-lock.json)
set(up_to_date ON)
if(NOT EXISTS ${installed} OR ${NPM_DIR}/package-lock.json IS_NEWER_THAN ${installed})
  set(up_to_date OFF)
endif()

if(TEST_SCRIPT)
  if(NOT up_to_date)
    message("browser test skipped: playwright-core (pinned in web/package-lock.json), which \
drives Chromium, is not installed in ${NPM_DIR}: web.playground.modules could not install it")
    return()
  endif()
  execute_process(COMMAND ${NODE} --test ${TEST_SCRIPT} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the browser test failed (status ${status})")
  endif()
  return()
endif()

if(up_to_date)
  return()
endif()
# A registry that cannot be reached fails within a minute or two rather
# than after npm's default five minutes of retries.
execute_process(
  COMMAND ${NPM} ci --ignore-scripts --no-audit --no-fund --fetch-retries=1
    --fetch-timeout=30000
  WORKING_DIRECTORY ${NPM_DIR}
  RESULT_VARIABLE status
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
if(NOT status EQUAL 0)
  set(reason "npm could not install playwright-core (pinned in web/package-lock.json), \
which drives Chromium: is the npm registry reachable? npm said:\n${output}")
  if(INSTALL_ONLY)
    message(FATAL_ERROR "${reason}")
  endif()
  message("browser test skipped: ${reason}")
endif()
