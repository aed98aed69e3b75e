# The system DLLs the program uses, linked one of two ways:
#   system_dlls_delayed: loaded on first use, after the program has limited
#     DLL search (app/DllSearch.cpp), and then by their full System32 path,
#     so that none is ever looked for beside the .exe (usually the user's
#     Downloads). The program links this.
#   system_dlls_plain: ordinary imports, resolved by the loader at start.
#     The unit tests link this, and so does the build that shows what a
#     planted DLL does to a program without the defence.
# Why each is safe when delayed:
#   user32, gdi32:   windows and drawing; first used after the search is limited
#   comctl32:        common controls 6, which the manifest takes from the
#                    side-by-side store ahead of every folder
#   shell32, ole32:  folder browser, shell copy, COM; loaded only when used
#   shlwapi:         path qualification, used only by the run
#   advapi32:        random names and security descriptors for staging
# What planting really threatens is what these load in turn by bare name
# and that is not a KnownDLL: app/DllSearch.h lists those.
# kernel32 and msvcrt stay ordinary imports: the program cannot start
# without them, and they pull in nothing but ntdll. ntdll itself (imported
# by the staging folder) is in every process before it starts.
set(SYSTEM_DLLS user32 gdi32 comctl32 shell32 ole32 shlwapi advapi32)

add_library(system_dlls_plain INTERFACE)
target_link_libraries(system_dlls_plain INTERFACE ${SYSTEM_DLLS})

set(DELAY_LIBS)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(import_prefix __imp__)
else()
  set(import_prefix __imp_)
endif()
foreach(dll IN LISTS SYSTEM_DLLS)
  set(delay_lib "${CMAKE_BINARY_DIR}/delay/lib${dll}_delay.a")
  add_custom_command(OUTPUT "${delay_lib}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/delay"
    COMMAND "${CMAKE_SOURCE_DIR}/scripts/make-delay-lib.sh" "${CMAKE_NM}" "${CMAKE_DLLTOOL}" "${CMAKE_OBJCOPY}"
            "${CMAKE_FIND_ROOT_PATH}/lib/lib${dll}.a" "${dll}.dll" "${delay_lib}" ${import_prefix}
    DEPENDS "${CMAKE_SOURCE_DIR}/scripts/make-delay-lib.sh"
    COMMENT "Delay-load import library for ${dll}.dll")
  list(APPEND DELAY_LIBS "${delay_lib}")
endforeach()
add_custom_target(delay_libs DEPENDS ${DELAY_LIBS})
add_library(system_dlls_delayed INTERFACE)
add_dependencies(system_dlls_delayed delay_libs)
target_link_libraries(system_dlls_delayed INTERFACE ${DELAY_LIBS})
