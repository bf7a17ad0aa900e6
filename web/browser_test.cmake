# The playground's browser test, run by CTest as
#   cmake -DNPM=npm -DNPM_DIR=<dir> -DNODE=node -DTEST=<test.js> -P browser_test.cmake
# or, with -DINSTALL_ONLY=ON instead of NODE and TEST, the install of its
# driver alone.
#
# The driver, playwright-core, is installed into NPM_DIR/node_modules by
# `npm ci` from NPM_DIR/package-lock.json when it is missing or older than
# the lock. When npm cannot install it (no network, no registry) the test
# says so on a line that CTest reads as a skip; the install alone fails.

set(installed ${NPM_DIR}/node_modules/.package-lock.json)
if(NOT EXISTS ${installed} OR ${NPM_DIR}/package-lock.json IS_NEWER_THAN ${installed})
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
    return()
  endif()
endif()
if(INSTALL_ONLY)
  return()
endif()

execute_process(COMMAND ${NODE} --test ${TEST} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the browser test failed (status ${status})")
endif()
