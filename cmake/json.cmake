# JSON for the language server: nlohmann/json (Debian's nlohmann-json3-dev),
# a header-only library, as the target orvix_json.
#
# The header is the same for every target system, so a cross build (MinGW,
# emscripten) reads the build machine's. It does so from a directory of the
# build tree that holds the nlohmann headers alone: the build machine's
# /usr/include, which also holds its C library's headers, never comes onto
# the cross compiler's include path.
find_path(ORVIX_JSON_INCLUDE_DIR nlohmann/json.hpp
  PATHS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH
  DOC "Directory holding nlohmann/json.hpp")
if(NOT ORVIX_JSON_INCLUDE_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp not found (on Debian: apt-get install "
    "nlohmann-json3-dev), which the language server (orvix --lsp) is built with. "
    "-DORVIX_JSON_INCLUDE_DIR=DIR names the directory that holds nlohmann/.")
endif()

set(json_include_dir ${ORVIX_JSON_INCLUDE_DIR})
if(CMAKE_CROSSCOMPILING)
  set(json_include_dir ${PROJECT_BINARY_DIR}/json-include)
  file(COPY ${ORVIX_JSON_INCLUDE_DIR}/nlohmann DESTINATION ${json_include_dir})
endif()
add_library(orvix_json INTERFACE)
target_include_directories(orvix_json SYSTEM INTERFACE ${json_include_dir})
