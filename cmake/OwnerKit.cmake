# The owner's kit (cmake --build build --target owner-kit): build/owner-kit/
# and build/owner-kit.zip, with the stub, makewizard for Linux and Windows,
# the sample package folder's own files, OWNERS.md and SHA256SUMS. It is
# the shipped 32-bit stub's kit; the 64-bit build makes none. The same bytes
# on every run: the zip is dated at the build's stamp.
set(OWNER_KIT_DIR "${CMAKE_BINARY_DIR}/owner-kit")
set(OWNER_KIT_ZIP "${CMAKE_BINARY_DIR}/owner-kit.zip")
set(owner_kit_inputs
  "${CMAKE_SOURCE_DIR}/resources/owner-kit/OWNERS.md"
  "${CMAKE_SOURCE_DIR}/resources/owner-kit/WHAT-GOES-HERE.txt"
  "${CMAKE_SOURCE_DIR}/resources/sample-package/package.cmake"
  "${CMAKE_SOURCE_DIR}/resources/sample-package/agreement.txt"
  "${CMAKE_SOURCE_DIR}/resources/sample-package/program.ico"
  "${CMAKE_SOURCE_DIR}/scripts/make_owner_kit.py")
add_custom_command(OUTPUT "${OWNER_KIT_ZIP}"
  COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/scripts/make_owner_kit.py"
          --out-dir "${OWNER_KIT_DIR}" --zip "${OWNER_KIT_ZIP}"
          --stamp ${WIZARD_SOURCE_DATE_EPOCH}
          --stub "$<TARGET_FILE:wizard_stub>"
          --makewizard "${MAKEWIZARD}" --makewizard-exe "${MAKEWIZARD_EXE}"
          --sample-dir "${CMAKE_SOURCE_DIR}/resources/sample-package"
          --owners "${CMAKE_SOURCE_DIR}/resources/owner-kit/OWNERS.md"
          --sample-note "${CMAKE_SOURCE_DIR}/resources/owner-kit/WHAT-GOES-HERE.txt"
  DEPENDS wizard_stub "$<TARGET_FILE:wizard_stub>" makewizard_native "${MAKEWIZARD}"
          makewizard_windows "${MAKEWIZARD_EXE}" ${owner_kit_inputs}
  COMMENT "Writing the owner's kit" VERBATIM)
add_custom_target(owner-kit ALL DEPENDS "${OWNER_KIT_ZIP}")
