# Reads the package folder and prepares the resources built from it. The
# rules for a package folder, and the writing of the resource sources made
# from it, live in scripts/package_folder.py; CMake reads package.cmake (the
# owner's file is in CMake's own syntax), hands its settings over and wires
# what the tool wrote into the build.

find_package(Python3 REQUIRED COMPONENTS Interpreter)
get_filename_component(PACKAGE_DIR "${WIZARD_PACKAGE_DIR}" ABSOLUTE)
set(RESOURCES_DIR "${CMAKE_SOURCE_DIR}/resources")
set(PACKAGE_TOOL "${CMAKE_SOURCE_DIR}/scripts/package_folder.py")
option(WIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY
  "The package is meant only for 64-bit Windows: allow 1,800 MiB of files instead of 1,280 MiB" OFF)

# package.cmake in a scope of its own, so that it can change nothing else.
# Each setting becomes one argument (a value may hold ";").
function(read_package_settings)
  set(PACKAGE_GENERATED_PAYLOAD OFF)
  if(EXISTS "${PACKAGE_DIR}/package.cmake")
    include("${PACKAGE_DIR}/package.cmake")
  endif()
  foreach(variable PACKAGE_COMPANY_NAME PACKAGE_LEGAL_COPYRIGHT PACKAGE_IDENTITY_NAME)
    if(DEFINED ${variable})
      set(PACKAGE_ARGUMENT_${variable} "--setting=${variable}=${${variable}}" PARENT_SCOPE)
    else()
      set(PACKAGE_ARGUMENT_${variable} "--not-set=${variable}" PARENT_SCOPE)
    endif()
  endforeach()
  set(PACKAGE_GENERATED_PAYLOAD ${PACKAGE_GENERATED_PAYLOAD} PARENT_SCOPE)
endfunction()
read_package_settings()

set(package_options)
if(PACKAGE_GENERATED_PAYLOAD)
  # The sample's files are made by the build, so there is no size to check.
  list(APPEND package_options "--generated-payload=${CMAKE_BINARY_DIR}/sample-payload")
endif()
if(WIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY)
  list(APPEND package_options --for-64bit-windows-only)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  list(APPEND package_options --architecture=amd64)
endif()
execute_process(
  COMMAND "${Python3_EXECUTABLE}" "${PACKAGE_TOOL}" configure
          "--package-dir=${PACKAGE_DIR}" "--out-dir=${CMAKE_BINARY_DIR}/package"
          "${PACKAGE_ARGUMENT_PACKAGE_COMPANY_NAME}" "${PACKAGE_ARGUMENT_PACKAGE_LEGAL_COPYRIGHT}"
          "${PACKAGE_ARGUMENT_PACKAGE_IDENTITY_NAME}" ${package_options}
  RESULT_VARIABLE status ERROR_VARIABLE refusal)
if(NOT status EQUAL 0)
  string(STRIP "${refusal}" refusal)
  message(FATAL_ERROR "${refusal}")
endif()
# Sets PAYLOAD_DIR, PAYLOAD_FILES, PAYLOAD_RC, PAYLOAD_DIGESTS, PACKAGE_INPUTS
# and the wizard resource script of each execution level.
include("${CMAKE_BINARY_DIR}/package/resources.cmake")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PACKAGE_INPUTS})

# A small Windows program: the sample package's stand-in installer, and the
# executable item of the tests' own payload.
add_executable(sample_installer WIN32 "${RESOURCES_DIR}/sample-package/installer.c")
target_link_options(sample_installer PRIVATE -s)
set_target_properties(sample_installer PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")
set(SAMPLE_INSTALLER "${CMAKE_BINARY_DIR}/bin/sample_installer.exe")

if(PACKAGE_GENERATED_PAYLOAD)
  # The sample package's files are made at build time at their real sizes:
  # a small Windows program grown to size, a PDF and a readme.
  add_custom_command(OUTPUT ${PAYLOAD_FILES}
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/scripts/make_sample_payload.py"
            --program "${SAMPLE_INSTALLER}" --out-dir "${PAYLOAD_DIR}"
    DEPENDS sample_installer "${CMAKE_SOURCE_DIR}/scripts/make_sample_payload.py"
    COMMENT "Generating the sample package's files")
endif()
# At build time, since the sample's files exist only then.
add_custom_command(OUTPUT "${PAYLOAD_DIGESTS}"
  COMMAND Python3::Interpreter "${PACKAGE_TOOL}" digests "${PAYLOAD_DIGESTS}" ${PAYLOAD_FILES}
  DEPENDS ${PAYLOAD_FILES} "${PACKAGE_TOOL}"
  COMMENT "Digesting the package's files" VERBATIM)
add_custom_target(package_payload DEPENDS ${PAYLOAD_FILES} "${PAYLOAD_DIGESTS}")
# windres does not tell the build which files a resource script reads.
set_source_files_properties("${PAYLOAD_RC}" PROPERTIES OBJECT_DEPENDS
  "${PAYLOAD_FILES};${PAYLOAD_DIGESTS}")

# Puts at rc_file the resource script for icon, pictures, agreement, version
# record and a manifest at the given execution level (the tests run without
# elevation). name is no longer used.
function(wizard_resources name rc_file execution_level)
  if(NOT DEFINED PACKAGE_WIZARD_RC_${execution_level})
    message(FATAL_ERROR "wizard_resources: no manifest execution level \"${execution_level}\"")
  endif()
  configure_file("${PACKAGE_WIZARD_RC_${execution_level}}" "${rc_file}" COPYONLY)
  set_source_files_properties("${rc_file}" PROPERTIES OBJECT_DEPENDS
    "${PACKAGE_WIZARD_RC_INPUTS_${execution_level}}")
endfunction()
