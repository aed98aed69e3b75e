# makewizard (builder/), built beside the wizard: natively for this host, as
# build/bin/makewizard, and as a static 64-bit Windows console program,
# build/bin/makewizard.exe. The build runs the native one to make every
# wizard from its stub.
include(ExternalProject)

set(MAKEWIZARD "${CMAKE_BINARY_DIR}/bin/makewizard")
set(MAKEWIZARD_EXE "${CMAKE_BINARY_DIR}/bin/makewizard.exe")

# Its own project, so that the host's compiler builds it, not the cross one.
# Built every time: the project decides itself whether anything changed.
ExternalProject_Add(makewizard_native
  SOURCE_DIR "${CMAKE_SOURCE_DIR}/builder"
  BINARY_DIR "${CMAKE_BINARY_DIR}/makewizard-native"
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE= -DCMAKE_BUILD_TYPE=
  INSTALL_COMMAND "${CMAKE_COMMAND}" -E copy_if_different <BINARY_DIR>/makewizard "${MAKEWIZARD}"
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS "${MAKEWIZARD}")
# A tree configured when the toolchain file lay elsewhere names a file that
# is gone, and CMake would not configure it again: it starts afresh.
file(GLOB windows_systems "${CMAKE_BINARY_DIR}/makewizard-windows/CMakeFiles/*/CMakeSystem.cmake")
foreach(system IN LISTS windows_systems)
  file(STRINGS "${system}" included REGEX "^include\\(")
  string(REGEX REPLACE "^include\\(\"?([^\")]*)\"?\\).*$" "\\1" included "${included}")
  if(included AND NOT EXISTS "${included}")
    file(REMOVE_RECURSE "${CMAKE_BINARY_DIR}/makewizard-windows")
  endif()
endforeach()
ExternalProject_Add(makewizard_windows
  SOURCE_DIR "${CMAKE_SOURCE_DIR}/builder"
  BINARY_DIR "${CMAKE_BINARY_DIR}/makewizard-windows"
  CMAKE_ARGS "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/x86_64-w64-mingw32.cmake"
             -DCMAKE_BUILD_TYPE=
  INSTALL_COMMAND "${CMAKE_COMMAND}" -E copy_if_different <BINARY_DIR>/makewizard.exe "${MAKEWIZARD_EXE}"
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS "${MAKEWIZARD_EXE}")
