# What `cmake --install` puts in place, by component:
#   Runtime      libtarnis.so.<version> and its SONAME link
#   Development  the libtarnis.so link, the public headers under include/tarnis (with the
#                generated key names and version), tarnis.pc and the CMake package
#   Sim          the host framework stand-ins and the simulator (sim builds only; bench use)
#   Tools        sensorctl and the device data under share/tarnis/device (sim builds only)
# Libraries go to the multiarch folder (lib/x86_64-linux-gnu, lib/arm-linux-gnueabihf) where
# the target has one, as Debian's packages place them.
if(CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (lib)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TARNIS_PARAM_FILE_VERSION 8)
set(TARNIS_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/include)
set(TARNIS_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tarnis)

# The contract headers a host builds against, and the platform declarations they include.
set(TARNIS_PUBLIC_HEADERS
    ${CMAKE_SOURCE_DIR}/sensor/ISensorController.h
    ${CMAKE_SOURCE_DIR}/sensor/SensorBeaway.h
    ${CMAKE_SOURCE_DIR}/sensor/SensorFile.h
    ${CMAKE_SOURCE_DIR}/sensor/SensorKeyVal.h
    ${CMAKE_SOURCE_DIR}/sensor/TarnisApi.h
    ${CMAKE_SOURCE_DIR}/sensor/sensor.h
    ${CMAKE_SOURCE_DIR}/sensor/diag/SensorDiag.h
    ${CMAKE_SOURCE_DIR}/sensor/diag/TarnisThreadSafety.h
    ${CMAKE_SOURCE_DIR}/platform/MachineInfo.h
    ${CMAKE_SOURCE_DIR}/platform/ModuleConfigure.h
    ${CMAKE_SOURCE_DIR}/platform/OVMutex.h
    ${CMAKE_SOURCE_DIR}/platform/SensorZoomFocusParam.h
    ${CMAKE_SOURCE_DIR}/platform/VideoStreamModule.h
    ${CMAKE_SOURCE_DIR}/platform/ia_ioctrl.h
    ${TARNIS_GENERATED_INCLUDE_DIR}/tarnis/SensorKeyNames.h
    ${TARNIS_GENERATED_INCLUDE_DIR}/tarnis/TarnisVersion.h)

# ---- generated headers ----
# Key names from the key table: the key number is a row's first column and the name its
# fourth; further columns are ignored. Read at configure time, so cross builds need no
# program run on the build machine.
set(TARNIS_KEY_LIST ${CMAKE_SOURCE_DIR}/sensor/SensorKeyList.def)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TARNIS_KEY_LIST})
file(STRINGS ${TARNIS_KEY_LIST} tarnis_key_rows REGEX "^[ \t]*KEY_ROW[ \t]*\\(")
set(TARNIS_KEY_ENUMERATORS "")
set(TARNIS_KEY_COUNT 0)
set(tarnis_id "[A-Za-z_][A-Za-z0-9_]*")
foreach(row IN LISTS tarnis_key_rows)
  if(NOT row MATCHES "^[ \t]*KEY_ROW[ \t]*\\([ \t]*([0-9]+)[ \t]*,[^,]*,[^,]*,[ \t]*(${tarnis_id})[ \t]*[,)]")
    message(FATAL_ERROR "${TARNIS_KEY_LIST}: cannot read the key row '${row}'")
  endif()
  string(APPEND TARNIS_KEY_ENUMERATORS "    ${CMAKE_MATCH_2} = ${CMAKE_MATCH_1},\n")
  math(EXPR TARNIS_KEY_COUNT "${TARNIS_KEY_COUNT} + 1")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/SensorKeyNames.h.in
    ${TARNIS_GENERATED_INCLUDE_DIR}/tarnis/SensorKeyNames.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/TarnisVersion.h.in
    ${TARNIS_GENERATED_INCLUDE_DIR}/tarnis/TarnisVersion.h @ONLY)

# ---- the library's interface, as built here and as installed ----
set_target_properties(tarnis PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR} EXPORT_NAME tarnis)
# Source-tree include folders and build-only link targets hold inside this build only; the
# installed target has include/ and TinyXML found by the package.
get_target_property(tarnis_includes tarnis INTERFACE_INCLUDE_DIRECTORIES)
set(tarnis_iface_includes "")
foreach(dir IN LISTS tarnis_includes)
  list(APPEND tarnis_iface_includes "$<BUILD_INTERFACE:${dir}>")
endforeach()
list(APPEND tarnis_iface_includes "$<BUILD_INTERFACE:${TARNIS_GENERATED_INCLUDE_DIR}/tarnis>"
    "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")
set_target_properties(tarnis PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${tarnis_iface_includes}")
target_include_directories(tarnis PRIVATE ${TARNIS_GENERATED_INCLUDE_DIR}/tarnis)
get_target_property(tarnis_links tarnis INTERFACE_LINK_LIBRARIES)
set(tarnis_iface_links "")
foreach(lib IN LISTS tarnis_links)
  if(lib STREQUAL "tinyxml_dep")
    list(APPEND tarnis_iface_links "$<BUILD_INTERFACE:tinyxml_dep>" "$<INSTALL_INTERFACE:tarnis::tinyxml>")
  elseif(TARGET ${lib} AND NOT lib MATCHES "::")
    list(APPEND tarnis_iface_links "$<BUILD_INTERFACE:${lib}>")
  else()
    list(APPEND tarnis_iface_links "${lib}")
  endif()
endforeach()
set_target_properties(tarnis PROPERTIES INTERFACE_LINK_LIBRARIES "${tarnis_iface_links}")

# ---- install rules ----
install(TARGETS tarnis EXPORT tarnisTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development)
install(FILES ${TARNIS_PUBLIC_HEADERS}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/tarnis COMPONENT Development)

if(TARNIS_PLATFORM STREQUAL "sim")
  set_target_properties(hostfw iasim PROPERTIES
      VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
  # Exported too, as the library's link dependencies (tarnis::hostfw, tarnis::iasim).
  foreach(lib hostfw iasim)
    get_target_property(lib_includes ${lib} INTERFACE_INCLUDE_DIRECTORIES)
    set(lib_iface "")
    foreach(dir IN LISTS lib_includes)
      list(APPEND lib_iface "$<BUILD_INTERFACE:${dir}>")
    endforeach()
    set_target_properties(${lib} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${lib_iface}")
    get_target_property(lib_links ${lib} INTERFACE_LINK_LIBRARIES)
    list(TRANSFORM lib_links REPLACE "^tinyxml_dep$" "$<BUILD_INTERFACE:tinyxml_dep>")
    list(APPEND lib_links "$<INSTALL_INTERFACE:tarnis::tinyxml>")
    set_target_properties(${lib} PROPERTIES INTERFACE_LINK_LIBRARIES "${lib_links}")
  endforeach()
  install(TARGETS hostfw iasim EXPORT tarnisTargets
      LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Sim NAMELINK_SKIP)
  install(TARGETS sensorctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)
  # sensorctl finds the installed device data relative to its own folder.
  file(RELATIVE_PATH sensorctl_device_from_bin /${CMAKE_INSTALL_BINDIR}
      /${CMAKE_INSTALL_DATADIR}/tarnis/device)
  target_compile_definitions(sensorctl PRIVATE
      SENSORCTL_DEVICE_FROM_BIN="${sensorctl_device_from_bin}")
endif()
# The device data a camera installs beside the library (in device builds, the tools package
# carries only this).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/device/
    DESTINATION ${CMAKE_INSTALL_DATADIR}/tarnis/device COMPONENT Tools)

install(EXPORT tarnisTargets NAMESPACE tarnis:: FILE tarnisTargets.cmake
    DESTINATION ${TARNIS_CMAKE_INSTALL_DIR} COMPONENT Development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tarnisConfig.cmake.in
    ${CMAKE_BINARY_DIR}/tarnisConfig.cmake INSTALL_DESTINATION ${TARNIS_CMAKE_INSTALL_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/tarnisConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/tarnisConfig.cmake ${CMAKE_BINARY_DIR}/tarnisConfigVersion.cmake
    DESTINATION ${TARNIS_CMAKE_INSTALL_DIR} COMPONENT Development)

# pkg-config: the prefix is found from the .pc file's own place, so the tree can move.
file(RELATIVE_PATH TARNIS_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" TARNIS_PC_TO_PREFIX "${TARNIS_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/tarnis.pc.in ${CMAKE_BINARY_DIR}/tarnis.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/tarnis.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)

# ---- API documentation of the public headers: cmake --build BUILD --target docs ----
find_program(DOXYGEN_EXECUTABLE doxygen)
if(DOXYGEN_EXECUTABLE)
  list(JOIN TARNIS_PUBLIC_HEADERS " " TARNIS_DOC_INPUT)
  string(APPEND TARNIS_DOC_INPUT " ${CMAKE_SOURCE_DIR}/docs/api.md")
  configure_file(${CMAKE_SOURCE_DIR}/docs/Doxyfile.in ${CMAKE_BINARY_DIR}/Doxyfile @ONLY)
  add_custom_target(docs COMMAND ${DOXYGEN_EXECUTABLE} ${CMAKE_BINARY_DIR}/Doxyfile
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      COMMENT "API documentation: ${CMAKE_BINARY_DIR}/docs/html/index.html" VERBATIM)
endif()
