# Installation of the library, and packaging.
#
# Beside the assembler and its manual page (installed by the top-level
# CMakeLists.txt), cmake --install puts the static library in lib/, the
# headers in include/libcontainer/ (so users keep writing
# #include "libcontainer/libcontainer.h" with <prefix>/include on the include
# path), and a CMake package in lib/cmake/libcontainer/ so that other
# projects can do
#
#   find_package(libcontainer 1.0 REQUIRED)
#   target_link_libraries(app PRIVATE libcontainer::libcontainer)
#
# cpack -G DEB wraps the same tree into a Debian package.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(LIBCONTAINER_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/libcontainer)

install(TARGETS libcontainer EXPORT libcontainerTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${LIBCONTAINER_HEADERS}
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/libcontainer)

install(EXPORT libcontainerTargets
  NAMESPACE libcontainer::
  DESTINATION ${LIBCONTAINER_CMAKE_DIR})
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/libcontainerConfig.cmake.in
  ${PROJECT_BINARY_DIR}/libcontainerConfig.cmake
  INSTALL_DESTINATION ${LIBCONTAINER_CMAKE_DIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/libcontainerConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/libcontainerConfig.cmake
  ${PROJECT_BINARY_DIR}/libcontainerConfigVersion.cmake
  DESTINATION ${LIBCONTAINER_CMAKE_DIR})

# One Debian package holds the tool and the library's development files.
set(CPACK_PACKAGE_NAME orvix)
set(CPACK_PACKAGE_VENDOR "orvix project")
set(CPACK_PACKAGE_CONTACT "orvix maintainers <orvix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "assembler for the ZRC processor, with the libcontainer C++ library")
set(CPACK_PACKAGE_DESCRIPTION
  "orvix turns ZRC assembly source into a 32-word MIF memory image for FPGA
tools. The package also holds libcontainer, the small C++ text and container
library orvix is built on (static library, headers and CMake package).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# Depends: the run-time libraries of the binary, found by dpkg-shlibdeps.
# Recommends: the headers and the CMake package need a compiler and CMake.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "g++, cmake")
include(CPack)
