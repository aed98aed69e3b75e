# Release builds: the same bytes from the same sources, and an Authenticode
# signature added right after makewizard when a key is configured.
# Include before any target is created; wizard_from_stub(... SIGN) signs.

# --- The same bytes ---------------------------------------------------------
# The only bytes that differ between two links are the PE header's
# TimeDateStamp and the checksum over it (windres writes zero resource stamps,
# Debian's ar is deterministic, and nothing records a build path). MinGW ld
# takes the stamp from SOURCE_DATE_EPOCH, so every link runs with it set.
# (--no-insert-timestamp would be stable too, but writes 0, which tools show
# as 1970, and it wins over SOURCE_DATE_EPOCH.)
# SOURCE_DATE_EPOCH is read when configuring and kept in the cache, so that a
# re-configure started by the build itself, without it, keeps the same stamp.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(WIZARD_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}" CACHE STRING
    "Link time stamp (seconds since 1970, UTC) of every program" FORCE)
endif()
# 2026-01-01 00:00:00 UTC when nobody names a date.
set(WIZARD_SOURCE_DATE_EPOCH 1767225600 CACHE STRING
  "Link time stamp (seconds since 1970, UTC) of every program")
if(NOT WIZARD_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$" OR WIZARD_SOURCE_DATE_EPOCH GREATER 4294967295)
  message(FATAL_ERROR "SOURCE_DATE_EPOCH / WIZARD_SOURCE_DATE_EPOCH is \"${WIZARD_SOURCE_DATE_EPOCH}\": "
    "it must be a whole number of seconds since 1970 that fits the PE header's 32 bits")
endif()
# A launcher rather than a link flag: ld has no option that takes the stamp.
# Set before the targets exist, it reaches every C and C++ link.
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${WIZARD_SOURCE_DATE_EPOCH})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_C_LINKER_LAUNCHER})

# --- Signing ----------------------------------------------------------------
set(WIZARD_SIGN_PKCS12 "" CACHE FILEPATH "Sign with the key and certificates of this .p12/.pfx file")
set(WIZARD_SIGN_PKCS11_MODULE "" CACHE FILEPATH "Sign with a token: its vendor's PKCS#11 module")
set(WIZARD_SIGN_KEY "" CACHE STRING "Sign with a token: the key's pkcs11: URI")
set(WIZARD_SIGN_CERTS "" CACHE FILEPATH "Sign with a token: the certificate chain (PEM), signer first")
set(WIZARD_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the .p12 password or the token's PIN")
set(WIZARD_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for release signatures")

function(_wizard_sign_file setting)
  if(NOT EXISTS "${${setting}}" OR IS_DIRECTORY "${${setting}}")
    message(FATAL_ERROR "${setting} names \"${${setting}}\", which is not a file")
  endif()
endfunction()

set(WIZARD_SIGN_COMMAND)
set(_wizard_sign_inputs)
if(WIZARD_SIGN_PKCS12 AND WIZARD_SIGN_PKCS11_MODULE)
  message(FATAL_ERROR "Both WIZARD_SIGN_PKCS12 and WIZARD_SIGN_PKCS11_MODULE are set: "
    "sign with a .p12 file or with a token, not both")
endif()
if(WIZARD_SIGN_PKCS12)
  _wizard_sign_file(WIZARD_SIGN_PKCS12)
  foreach(setting WIZARD_SIGN_KEY WIZARD_SIGN_CERTS)
    if(${setting})
      message(FATAL_ERROR "${setting} is for a token (WIZARD_SIGN_PKCS11_MODULE); "
        "a .p12 file (WIZARD_SIGN_PKCS12) carries its own key and certificates")
    endif()
  endforeach()
  set(WIZARD_SIGN_COMMAND -pkcs12 "${WIZARD_SIGN_PKCS12}")
  set(_wizard_sign_inputs "${WIZARD_SIGN_PKCS12}")
  set(_wizard_sign_with "the PKCS#12 file ${WIZARD_SIGN_PKCS12}")
elseif(WIZARD_SIGN_PKCS11_MODULE OR WIZARD_SIGN_KEY OR WIZARD_SIGN_CERTS)
  foreach(setting WIZARD_SIGN_PKCS11_MODULE WIZARD_SIGN_KEY WIZARD_SIGN_CERTS)
    if(NOT ${setting})
      message(FATAL_ERROR "Signing with a token needs WIZARD_SIGN_PKCS11_MODULE, WIZARD_SIGN_KEY "
        "and WIZARD_SIGN_CERTS; ${setting} is not set")
    endif()
  endforeach()
  _wizard_sign_file(WIZARD_SIGN_PKCS11_MODULE)
  _wizard_sign_file(WIZARD_SIGN_CERTS)
  if(NOT WIZARD_SIGN_KEY MATCHES "^pkcs11:")
    message(FATAL_ERROR "WIZARD_SIGN_KEY is \"${WIZARD_SIGN_KEY}\": it must be a pkcs11: URI, "
      "e.g. pkcs11:token=MyToken;object=MyKey;type=private")
  endif()
  # osslsigncode reaches the module through OpenSSL's pkcs11 engine; without
  # it the signing step would fail with "bad engine id".
  find_program(WIZARD_OPENSSL openssl)
  if(WIZARD_OPENSSL)
    execute_process(COMMAND "${WIZARD_OPENSSL}" version -e OUTPUT_VARIABLE engines_dir)
    if(engines_dir MATCHES "ENGINESDIR: \"([^\"]+)\"")
      set(engines_dir "${CMAKE_MATCH_1}")
      if(NOT EXISTS "${engines_dir}/pkcs11.so")
        message(FATAL_ERROR "Signing with a token (WIZARD_SIGN_PKCS11_MODULE) needs OpenSSL's pkcs11 "
          "engine, which is not in ${engines_dir}: install libengine-pkcs11-openssl")
      endif()
    endif()
  endif()
  # A ';' in the URI would split it into several arguments.
  string(REPLACE ";" "$<SEMICOLON>" key "${WIZARD_SIGN_KEY}")
  set(WIZARD_SIGN_COMMAND -pkcs11module "${WIZARD_SIGN_PKCS11_MODULE}" -key "${key}"
    -certs "${WIZARD_SIGN_CERTS}")
  set(_wizard_sign_inputs "${WIZARD_SIGN_CERTS}")
  set(_wizard_sign_with "the token key ${WIZARD_SIGN_KEY}")
elseif(WIZARD_SIGN_PASSWORD_FILE OR WIZARD_SIGN_TIMESTAMP_URL)
  message(FATAL_ERROR "WIZARD_SIGN_PASSWORD_FILE and WIZARD_SIGN_TIMESTAMP_URL only take effect with "
    "WIZARD_SIGN_PKCS12 or WIZARD_SIGN_PKCS11_MODULE, and neither is set")
endif()

if(WIZARD_SIGN_COMMAND)
  if(WIZARD_SIGN_PASSWORD_FILE)
    _wizard_sign_file(WIZARD_SIGN_PASSWORD_FILE)
    # osslsigncode reads it itself: the secret is never on a command line.
    list(APPEND WIZARD_SIGN_COMMAND -readpass "${WIZARD_SIGN_PASSWORD_FILE}")
    list(APPEND _wizard_sign_inputs "${WIZARD_SIGN_PASSWORD_FILE}")
  endif()
  if(WIZARD_SIGN_TIMESTAMP_URL)
    if(NOT WIZARD_SIGN_TIMESTAMP_URL MATCHES "^https?://")
      message(FATAL_ERROR "WIZARD_SIGN_TIMESTAMP_URL is \"${WIZARD_SIGN_TIMESTAMP_URL}\": "
        "it must be an http:// or https:// address of an RFC 3161 time-stamp server")
    endif()
    list(APPEND WIZARD_SIGN_COMMAND -ts "${WIZARD_SIGN_TIMESTAMP_URL}")
  endif()
  find_program(WIZARD_OSSLSIGNCODE osslsigncode)
  if(NOT WIZARD_OSSLSIGNCODE)
    message(FATAL_ERROR "Signing is configured (${_wizard_sign_with}) but osslsigncode is not "
      "installed: scripts/install-deps.sh installs it")
  endif()
  # SHA-256; no page hashes (no -ph): they serve kernel-mode code integrity,
  # and a program that is checked as a whole file needs none.
  set(WIZARD_SIGN_COMMAND "${WIZARD_OSSLSIGNCODE}" sign -h sha256 ${WIZARD_SIGN_COMMAND})
  message(STATUS "Signing the wizard with ${_wizard_sign_with}")
endif()

# What the signature depends on, so that switching signing on or off or
# changing the key makes and signs again (the secrets themselves stay out).
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/signing-settings.txt" @ONLY CONTENT
"pkcs12=${WIZARD_SIGN_PKCS12}
module=${WIZARD_SIGN_PKCS11_MODULE}
key=${WIZARD_SIGN_KEY}
certs=${WIZARD_SIGN_CERTS}
password-file=${WIZARD_SIGN_PASSWORD_FILE}
timestamp=${WIZARD_SIGN_TIMESTAMP_URL}
")
list(APPEND _wizard_sign_inputs "${CMAKE_BINARY_DIR}/signing-settings.txt")

# What signing depends on (wizard_from_stub ... SIGN in cmake/Package.cmake
# signs with scripts/sign.sh, which signs into a temporary name and renames
# on success; on failure it deletes the wizard, so no unsigned program
# stands under the signed name and the next build makes and signs it again).
set(WIZARD_SIGN_INPUTS ${_wizard_sign_inputs})
