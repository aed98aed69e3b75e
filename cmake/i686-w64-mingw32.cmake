# Cross toolchain: 32-bit Windows with MinGW-w64, for the shipped program.
# The -posix compilers are used because GoogleTest needs std::thread and
# friends.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
