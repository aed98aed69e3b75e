# The package the wizard carries, and how the build makes a wizard of it:
# makewizard (builder/, cmake/Builder.cmake) checks the folder by its rules
# and adds it to a linked stub, as an owner's own run of makewizard does.
# The owner's package.cmake is read by makewizard, never run by CMake.

find_package(Python3 REQUIRED COMPONENTS Interpreter)
get_filename_component(PACKAGE_DIR "${WIZARD_PACKAGE_DIR}" ABSOLUTE)
set(RESOURCES_DIR "${CMAKE_SOURCE_DIR}/resources")

# cpp_constant(OUT HEADER NAME): the value of `NAME = value;` in a C++
# header of the tree, so that a number the build shows is the code's own.
function(cpp_constant out header name)
  file(STRINGS "${CMAKE_SOURCE_DIR}/${header}" lines REGEX "[ \t]${name} = [^;]+;")
  list(LENGTH lines count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "${header}: not one definition of ${name}")
  endif()
  string(REGEX REPLACE ".*[ \t]${name} = ([^;]+);.*" "\\1" value "${lines}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${header}")
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
cpp_constant(ceiling_mib builder/package/PayloadCeilings.h kPe32CeilingMiB)
cpp_constant(ceiling_64bit_only_mib builder/package/PayloadCeilings.h kPe32For64BitWindowsCeilingMiB)
option(WIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY
  "Package only for 64-bit Windows: allow ${ceiling_64bit_only_mib} MiB of files, not ${ceiling_mib} MiB"
  OFF)

# The delivered files' names, in payload order, from the package format the
# wizard and makewizard read too (through its one reader outside C++).
execute_process(
  COMMAND "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/tests/support/package_format.py" payload-names
  OUTPUT_VARIABLE PAYLOAD_NAMES OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" PAYLOAD_NAMES "${PAYLOAD_NAMES}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${CMAKE_SOURCE_DIR}/resources/PackageFormat.h" "${CMAKE_SOURCE_DIR}/tests/support/package_format.py")

# A small Windows program: the sample package's stand-in installer, and the
# executable item of the tests' own payload.
add_executable(sample_installer WIN32 "${RESOURCES_DIR}/sample-package/installer.c")
target_link_options(sample_installer PRIVATE -s)
set_target_properties(sample_installer PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")
set(SAMPLE_INSTALLER "${CMAKE_BINARY_DIR}/bin/sample_installer.exe")

# WIZARD_PACKAGE_FOLDER: the folder makewizard reads. PAYLOAD_DIR and
# PAYLOAD_FILES: the three files, for the tests that compare what the wizard
# delivers. PACKAGE_INPUTS: the files whose change makes the wizard again.
if(PACKAGE_DIR STREQUAL "${RESOURCES_DIR}/sample-package")
  # The sample's files are made at build time at their real sizes (a small
  # Windows program grown to size, a PDF and a readme), in a copy of the
  # folder in the build tree.
  set(WIZARD_PACKAGE_FOLDER "${CMAKE_BINARY_DIR}/sample-package")
  foreach(name package.cmake agreement.txt program.ico)
    configure_file("${PACKAGE_DIR}/${name}" "${WIZARD_PACKAGE_FOLDER}/${name}" COPYONLY)
  endforeach()
  set(PAYLOAD_DIR "${WIZARD_PACKAGE_FOLDER}")
  list(TRANSFORM PAYLOAD_NAMES PREPEND "${PAYLOAD_DIR}/" OUTPUT_VARIABLE PAYLOAD_FILES)
  add_custom_command(OUTPUT ${PAYLOAD_FILES}
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/scripts/make_sample_payload.py"
            --program "${SAMPLE_INSTALLER}" --out-dir "${PAYLOAD_DIR}"
    DEPENDS sample_installer "${CMAKE_SOURCE_DIR}/scripts/make_sample_payload.py"
    COMMENT "Generating the sample package's files")
  set(PACKAGE_INPUTS ${PAYLOAD_FILES})
  foreach(name package.cmake agreement.txt program.ico)
    list(APPEND PACKAGE_INPUTS "${WIZARD_PACKAGE_FOLDER}/${name}")
  endforeach()
else()
  set(WIZARD_PACKAGE_FOLDER "${PACKAGE_DIR}")
  set(PAYLOAD_DIR "${PACKAGE_DIR}")
  list(TRANSFORM PAYLOAD_NAMES PREPEND "${PAYLOAD_DIR}/" OUTPUT_VARIABLE PAYLOAD_FILES)
  # Only the files there now: for a missing one makewizard says what is
  # wrong, and a wizard it refused is made again by the next build. Where a
  # name is missing, a file of the name in another letter case is the input,
  # as makewizard takes it.
  set(PACKAGE_INPUTS)
  foreach(name package.cmake agreement.txt program.ico ${PAYLOAD_NAMES})
    if(EXISTS "${PACKAGE_DIR}/${name}" AND NOT IS_DIRECTORY "${PACKAGE_DIR}/${name}")
      list(APPEND PACKAGE_INPUTS "${PACKAGE_DIR}/${name}")
      continue()
    endif()
    file(GLOB entries LIST_DIRECTORIES false RELATIVE "${PACKAGE_DIR}" "${PACKAGE_DIR}/*")
    string(TOLOWER "${name}" wanted)
    foreach(entry IN LISTS entries)
      string(TOLOWER "${entry}" lowered)
      if(lowered STREQUAL wanted)
        list(APPEND PACKAGE_INPUTS "${PACKAGE_DIR}/${entry}")
      endif()
    endforeach()
  endforeach()
endif()
add_custom_target(package_payload DEPENDS ${PACKAGE_INPUTS})

# wizard_from_stub(TARGET STUB_TARGET OUTPUT [EXECUTION_LEVEL level]
#                  [FOLDER folder] [INPUTS files...] [SIGN] [EXCLUDE_FROM_ALL])
# makes OUTPUT from the linked stub and the package folder (the build's own
# by default) with makewizard, under the target TARGET. The tests' wizards
# run without elevation (a level makewizard takes but does not advertise).
# SIGN signs it afterwards when signing is configured.
function(wizard_from_stub target stub output)
  cmake_parse_arguments(PARSE_ARGV 3 arg "SIGN;EXCLUDE_FROM_ALL" "EXECUTION_LEVEL;FOLDER" "INPUTS")
  set(folder "${WIZARD_PACKAGE_FOLDER}")
  set(inputs ${PACKAGE_INPUTS})
  if(arg_FOLDER)
    set(folder "${arg_FOLDER}")
    set(inputs ${arg_INPUTS})
  endif()
  # The build makes its wizard again over the one it made before; makewizard's
  # advice names this build's options.
  set(options --overwrite --cmake-build)
  if(WIZARD_PACKAGE_FOR_64BIT_WINDOWS_ONLY)
    list(APPEND options --for-64bit-windows-only)
  endif()
  if(arg_EXECUTION_LEVEL)
    list(APPEND options "--execution-level=${arg_EXECUTION_LEVEL}")
  endif()
  set(sign)
  if(arg_SIGN)
    # Switching signing on or off, or another key, makes and signs again.
    list(APPEND inputs ${WIZARD_SIGN_INPUTS})
    if(WIZARD_SIGN_COMMAND)
      set(sign COMMAND "${CMAKE_SOURCE_DIR}/scripts/sign.sh" "${output}" ${WIZARD_SIGN_COMMAND})
    endif()
  endif()
  add_custom_command(OUTPUT "${output}"
    COMMAND "${MAKEWIZARD}" build "$<TARGET_FILE:${stub}>" "${folder}" "${output}" ${options}
    ${sign}
    DEPENDS ${stub} "${MAKEWIZARD}" makewizard_native ${inputs}
    COMMENT "Making ${output} with makewizard"
    VERBATIM)
  if(arg_EXCLUDE_FROM_ALL)
    add_custom_target(${target} DEPENDS "${output}")
  else()
    add_custom_target(${target} ALL DEPENDS "${output}")
  endif()
endfunction()
