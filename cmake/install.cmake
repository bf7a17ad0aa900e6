# Installation of the library, and packaging.
#
# Beside the assembler, its manual page and the licence (installed by the
# top-level CMakeLists.txt), cmake --install puts the static library in the
# library directory <libdir> (lib/x86_64-linux-gnu on Debian, lib elsewhere),
# the headers in include/libcontainer/ (so users keep writing
# #include "libcontainer/libcontainer.h" with <prefix>/include on the include
# path), a CMake package in <libdir>/cmake/libcontainer/ so that other
# projects can do
#
#   find_package(libcontainer REQUIRED)
#   target_link_libraries(app PRIVATE libcontainer::libcontainer)
#
# and a pkg-config file in <libdir>/pkgconfig/ for builds without CMake:
#
#   c++ -std=c++17 app.cpp $(pkg-config --cflags --libs libcontainer)
#
# cpack -G DEB wraps the same tree into a Debian package.
#
# Installing copies what is built and builds nothing (neither cmake --install
# nor the install target does): otherwise cpack, which installs through the
# install target's preparation step, would first build the whole tree, test
# suite included. cpack builds what the package holds itself, the targets in
# CPACK_ORVIX_BUILD_TARGETS (see CPackProjectConfig.cmake); a target that
# gets installed belongs in that list.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_ORVIX_BUILD_TARGETS orvix libcontainer)
set(CPACK_ORVIX_CMAKE_COMMAND ${CMAKE_COMMAND})
set(CPACK_ORVIX_BINARY_DIR ${PROJECT_BINARY_DIR})

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

# The pkg-config file names the prefix it is installed under, so it is
# written at install time: cmake --install --prefix, DESTDIR and the package
# (installed as /usr) each get their own. The directories below the prefix
# are fixed now.
set(LIBCONTAINER_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${LIBCONTAINER_PKGCONFIG_DIR}")
  set(LIBCONTAINER_PC_DESTINATION "${LIBCONTAINER_PKGCONFIG_DIR}")
else()
  set(LIBCONTAINER_PC_DESTINATION "\${CMAKE_INSTALL_PREFIX}/${LIBCONTAINER_PKGCONFIG_DIR}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(LIBCONTAINER_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(LIBCONTAINER_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
# Everything but the prefix is filled in now, the prefix by the install step.
set(LIBCONTAINER_PC_PREFIX "@CMAKE_INSTALL_PREFIX@")
set(LIBCONTAINER_PC_TEMPLATE ${PROJECT_BINARY_DIR}/libcontainer.pc.in)
configure_file(${CMAKE_CURRENT_LIST_DIR}/libcontainer.pc.in ${LIBCONTAINER_PC_TEMPLATE} @ONLY)
install(CODE "
  configure_file(\"${LIBCONTAINER_PC_TEMPLATE}\"
    \"${PROJECT_BINARY_DIR}/pkgconfig-install/libcontainer.pc\" @ONLY)
  file(INSTALL DESTINATION \"${LIBCONTAINER_PC_DESTINATION}\"
    TYPE FILE FILES \"${PROJECT_BINARY_DIR}/pkgconfig-install/libcontainer.pc\")
")

# One Debian package holds the tool and the library's development files.
set(CPACK_PACKAGE_NAME orvix)
set(CPACK_PACKAGE_VENDOR "orvix project")
# No mailbox answers for the project: the address is in the reserved .invalid
# domain, so that it cannot reach anyone by mistake.
set(CPACK_PACKAGE_CONTACT "orvix developers <orvix@orvix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "assembler for the ZRC processor, with the libcontainer C++ library")
set(CPACK_PACKAGE_DESCRIPTION
  "orvix turns ZRC assembly source into a 32-word MIF memory image for FPGA
tools. The package also holds libcontainer, the small C++ text and container
library orvix is built on (static library, headers, CMake package and
pkg-config file).")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The binary goes without its debug information, as Debian ships binaries.
set(CPACK_STRIP_FILES ON)
# Depends: the run-time libraries of the binary, found by dpkg-shlibdeps.
# Recommends: the headers need a compiler, the CMake package CMake and the
# pkg-config file pkg-config.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "g++, cmake, pkg-config")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackProjectConfig.cmake)
include(CPack)
