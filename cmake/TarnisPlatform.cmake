# The platform the library is built for.
#   sim     the host framework stand-ins (libhostfw) and the simulated image processor
#           (libiasim) are built here and the library links them; tests, sensorctl and the
#           benchmarks are available. The default.
#   device  a camera build: the library links only TinyXML, the C++ runtime and the two
#           platform libraries a camera SDK provides, named by TARNIS_FRAMEWORK_LIBRARY and
#           TARNIS_IMAGE_ADJUST_LIBRARY. Path resolution, XML file load and save and the
#           document printer are built into the library as plain operations on the paths as
#           given. Nothing of the simulator is built.
set(TARNIS_PLATFORM "sim" CACHE STRING "Platform the library is built for: sim or device")
set_property(CACHE TARNIS_PLATFORM PROPERTY STRINGS sim device)
if(NOT TARNIS_PLATFORM MATCHES "^(sim|device)$")
  message(FATAL_ERROR "TARNIS_PLATFORM must be 'sim' or 'device', not '${TARNIS_PLATFORM}'")
endif()

if(TARNIS_PLATFORM STREQUAL "device")
  # The SDK's libraries; find_library fills the cache from CMAKE_PREFIX_PATH (the SDK prefix)
  # unless a path is given.
  find_library(TARNIS_FRAMEWORK_LIBRARY NAMES hostfw
      DOC "The camera SDK's host framework library (OVFile, OVLogger, GThread, ...)")
  find_library(TARNIS_IMAGE_ADJUST_LIBRARY NAMES ia_ioctrl
      DOC "The camera SDK's image-adjust library (defines ia_ioctrl_v2)")
  foreach(var TARNIS_FRAMEWORK_LIBRARY TARNIS_IMAGE_ADJUST_LIBRARY)
    if(NOT ${var})
      message(FATAL_ERROR "TARNIS_PLATFORM=device needs ${var} (path of the SDK library)")
    endif()
  endforeach()
  # The platform libraries of the library itself; the build tree gets no RUNPATH either, so
  # the library built here is the one a camera installs.
  set(TARNIS_PLATFORM_LIBS ${TARNIS_FRAMEWORK_LIBRARY} ${TARNIS_IMAGE_ADJUST_LIBRARY})
  set(TARNIS_PLATFORM_SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/../sensor/platform_device/DevicePath.cpp
      ${CMAKE_CURRENT_LIST_DIR}/../platform/host/XmlString.cpp)
  # Tests, sensorctl and the benchmarks drive the simulator.
  set(TARNIS_TESTS OFF)
  set(TARNIS_BENCH OFF)
else()
  set(TARNIS_PLATFORM_LIBS hostfw iasim)
  set(TARNIS_PLATFORM_SOURCES "")
endif()

# Applies the platform to the library target.
function(tarnis_use_platform target)
  target_sources(${target} PRIVATE ${TARNIS_PLATFORM_SOURCES})
  target_link_libraries(${target} PRIVATE ${TARNIS_PLATFORM_LIBS})
  if(TARNIS_PLATFORM STREQUAL "device")
    set_target_properties(${target} PROPERTIES SKIP_BUILD_RPATH ON)
  endif()
endfunction()
