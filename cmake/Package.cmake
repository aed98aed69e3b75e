# Reads the package folder and prepares the resources built from it.

get_filename_component(PACKAGE_DIR "${WIZARD_PACKAGE_DIR}" ABSOLUTE)
set(RESOURCES_DIR "${CMAKE_SOURCE_DIR}/resources")
if(NOT EXISTS "${PACKAGE_DIR}/package.cmake")
  message(FATAL_ERROR "The package folder ${PACKAGE_DIR} has no package.cmake")
endif()
set(PACKAGE_GENERATED_PAYLOAD OFF)
include("${PACKAGE_DIR}/package.cmake")
foreach(required agreement.txt program.ico)
  if(NOT EXISTS "${PACKAGE_DIR}/${required}")
    message(FATAL_ERROR "The package folder ${PACKAGE_DIR} lacks ${required}")
  endif()
endforeach()
foreach(variable PACKAGE_COMPANY_NAME PACKAGE_LEGAL_COPYRIGHT PACKAGE_IDENTITY_NAME)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${PACKAGE_DIR}/package.cmake does not set ${variable}")
  endif()
endforeach()

# The three delivered files, in payload order, under the names they carry.
set(PAYLOAD_NAMES "VELNORIX410aE.exe" "VELNORIX_User'sManual.pdf" "ReadMe_E.txt")

# A small Windows program: the sample package's stand-in installer, and the
# executable item of the tests' own payload.
add_executable(sample_installer WIN32 "${RESOURCES_DIR}/sample-package/installer.c")
target_link_options(sample_installer PRIVATE -s)
set_target_properties(sample_installer PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")
set(SAMPLE_INSTALLER "${CMAKE_BINARY_DIR}/bin/sample_installer.exe")

if(PACKAGE_GENERATED_PAYLOAD)
  # The sample package's files are made at build time at their real sizes:
  # a small Windows program grown to size, a PDF and a readme.
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(PAYLOAD_DIR "${CMAKE_BINARY_DIR}/sample-payload")
  set(PAYLOAD_FILES)
  foreach(name IN LISTS PAYLOAD_NAMES)
    list(APPEND PAYLOAD_FILES "${PAYLOAD_DIR}/${name}")
  endforeach()
  add_custom_command(OUTPUT ${PAYLOAD_FILES}
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/scripts/make_sample_payload.py"
            --program "${SAMPLE_INSTALLER}" --out-dir "${PAYLOAD_DIR}"
    DEPENDS sample_installer "${CMAKE_SOURCE_DIR}/scripts/make_sample_payload.py"
    COMMENT "Generating the sample package's files")
else()
  set(PAYLOAD_DIR "${PACKAGE_DIR}")
  set(PAYLOAD_FILES)
  foreach(name IN LISTS PAYLOAD_NAMES)
    if(NOT EXISTS "${PACKAGE_DIR}/${name}")
      message(FATAL_ERROR "The package folder ${PACKAGE_DIR} lacks the file \"${name}\"")
    endif()
    list(APPEND PAYLOAD_FILES "${PACKAGE_DIR}/${name}")
  endforeach()
  # The whole program, payload included, is mapped into a 32-bit process:
  # 1800 MiB was seen to build, start and extract; 2000 MiB built but could
  # not start.
  set(PAYLOAD_LIMIT_MIB 1800)
  set(payload_bytes 0)
  foreach(file IN LISTS PAYLOAD_FILES)
    file(SIZE "${file}" bytes)
    math(EXPR payload_bytes "${payload_bytes} + ${bytes}")
  endforeach()
  math(EXPR payload_mib "${payload_bytes} / 1048576")
  if(payload_mib GREATER PAYLOAD_LIMIT_MIB)
    message(FATAL_ERROR "The package's files come to ${payload_mib} MiB: a 32-bit wizard "
      "cannot map a package of more than ${PAYLOAD_LIMIT_MIB} MiB, so it could not start. "
      "Split the package or make its files smaller.")
  endif()
endif()
add_custom_target(package_payload DEPENDS ${PAYLOAD_FILES})

list(GET PAYLOAD_FILES 0 PAYLOAD_FILE1)
list(GET PAYLOAD_FILES 1 PAYLOAD_FILE2)
list(GET PAYLOAD_FILES 2 PAYLOAD_FILE3)
set(PAYLOAD_RC "${CMAKE_BINARY_DIR}/payload.rc")
configure_file("${RESOURCES_DIR}/payload.rc.in" "${PAYLOAD_RC}" @ONLY)
# windres does not tell the build which files a resource script reads.
set_source_files_properties("${PAYLOAD_RC}" PROPERTIES OBJECT_DEPENDS "${PAYLOAD_FILES}")

# Writes a resource script for icon, pictures, agreement, version record and
# a manifest at the given execution level (the tests run without elevation).
function(wizard_resources name rc_file execution_level)
  set(MANIFEST_EXECUTION_LEVEL ${execution_level})
  set(MANIFEST_FILE "${CMAKE_BINARY_DIR}/${name}.manifest")
  configure_file("${RESOURCES_DIR}/app.manifest.in" "${MANIFEST_FILE}" @ONLY)
  configure_file("${RESOURCES_DIR}/wizard.rc.in" "${rc_file}" @ONLY)
  set_source_files_properties("${rc_file}" PROPERTIES OBJECT_DEPENDS
    "${PACKAGE_DIR}/agreement.txt;${PACKAGE_DIR}/program.ico;${MANIFEST_FILE};${RESOURCES_DIR}/header.bmp;${RESOURCES_DIR}/finish-background.bmp;${RESOURCES_DIR}/finish-band.bmp")
endfunction()
