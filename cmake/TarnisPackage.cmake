# Debian packages of the install components (`cpack` in the build folder):
#   libtarnis1      the runtime library
#   libtarnis-sim1  the host framework stand-ins and the simulator (sim builds only)
#   libtarnis-dev   headers, libtarnis.so, tarnis.pc and the CMake package
#   tarnis-tools    sensorctl (sim builds only) and the device data
# The architecture is the target's, so a cross build makes armhf packages.
set(TARNIS_DEB_VERSION ${PROJECT_VERSION})
set(TARNIS_LIBC_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12)")
set(TARNIS_RUNTIME_DEPENDS "${TARNIS_LIBC_DEPENDS}, libtinyxml2.6.2v5")

set(tarnis_deb_arch_of_x86_64-linux-gnu amd64)
set(tarnis_deb_arch_of_arm-linux-gnueabihf armhf)
set(tarnis_deb_arch_of_aarch64-linux-gnu arm64)
set(tarnis_deb_arch_of_i386-linux-gnu i386)
if(DEFINED tarnis_deb_arch_of_${CMAKE_LIBRARY_ARCHITECTURE})
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${tarnis_deb_arch_of_${CMAKE_LIBRARY_ARCHITECTURE}})
endif()

# Components and package names.
set(tarnis_components Runtime Development Tools)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtarnis1)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtarnis-dev)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tarnis-tools)
set(CPACK_DEBIAN_SIM_PACKAGE_NAME libtarnis-sim1)
# A description's first line is the synopsis; CPack indents the lines that follow.
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "image-sensor control library of a network camera
libtarnis owns the image parameters of a camera's video channels: it keeps
them per scheme in parameter files, applies them to the image processor and
builds the documents of the image-settings pages.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "image-sensor control library - development files
Headers (include/tarnis), the key names, the pkg-config file tarnis.pc and
the CMake package (find_package(tarnis), target tarnis::tarnis).")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "image-sensor control library - bench tool and device data
The style documents, module configuration and machine information a camera
installs beside the library, and (with the simulator) the bench tool
sensorctl.")
set(CPACK_COMPONENT_SIM_DESCRIPTION "image-sensor control library - simulated platform
Stand-ins of the host framework and a simulated image processor, so that the
library runs on a bench machine without a camera.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "libtarnis1 (= ${TARNIS_DEB_VERSION}), libtinyxml-dev")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
if(TARNIS_PLATFORM STREQUAL "sim")
  list(APPEND tarnis_components Sim)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS
      "${TARNIS_RUNTIME_DEPENDS}, libtarnis-sim1 (= ${TARNIS_DEB_VERSION})")
  set(CPACK_DEBIAN_SIM_PACKAGE_DEPENDS "${TARNIS_RUNTIME_DEPENDS}")
  set(CPACK_DEBIAN_SIM_PACKAGE_SECTION libs)
  set(tarnis_tools_depends "${TARNIS_LIBC_DEPENDS}, libtarnis1 (= ${TARNIS_DEB_VERSION})")
  string(APPEND tarnis_tools_depends ", libtarnis-sim1 (= ${TARNIS_DEB_VERSION})")
  if(READLINE_LIBRARY)
    string(APPEND tarnis_tools_depends ", libreadline8 (>= 6.0)")
  endif()
  set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${tarnis_tools_depends}")
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION devel)
else()
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "${TARNIS_RUNTIME_DEPENDS}")
  set(CPACK_DEBIAN_TOOLS_PACKAGE_ARCHITECTURE all)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION misc)
endif()
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)

# Packages with shared libraries let dpkg refresh the linker cache through its trigger.
file(WRITE ${CMAKE_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/triggers)
set(CPACK_DEBIAN_SIM_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/triggers)

# The copyright file every package carries, and the changelog Debian expects beside it.
foreach(component IN LISTS tarnis_components)
  string(TOUPPER ${component} upper)
  set(package ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  install(FILES ${CMAKE_BINARY_DIR}/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.gz
      DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component}
      EXCLUDE_FROM_ALL)
endforeach()
file(READ ${CMAKE_SOURCE_DIR}/LICENSE tarnis_license)
string(REGEX REPLACE "\n\n" "\n.\n" tarnis_license_dep5 "${tarnis_license}")
string(REGEX REPLACE "\n([^\n])" "\n \\1" tarnis_license_dep5 "${tarnis_license_dep5}")
file(WRITE ${CMAKE_BINARY_DIR}/debian/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: libtarnis

Files: *
Copyright: 2026 The libtarnis authors
License: Expat
 ${tarnis_license_dep5}")
string(TIMESTAMP tarnis_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/debian/changelog
"libtarnis (${TARNIS_DEB_VERSION}) unstable; urgency=medium

  * Release ${TARNIS_DEB_VERSION}.

 -- The libtarnis authors <libtarnis@example.org>  ${tarnis_changelog_date}
")
execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/debian/changelog)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME libtarnis)
set(CPACK_PACKAGE_VENDOR "The libtarnis authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The libtarnis authors <libtarnis@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${tarnis_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/libtarnis")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
include(CPack)
