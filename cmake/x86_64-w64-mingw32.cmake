# Cross toolchain: 64-bit Windows (x86_64) with MinGW-w64, for makewizard.exe
# and for the wizard's build that is only tested, on hosts that cannot run
# 32-bit programs. The -posix compilers are used because GoogleTest needs
# std::thread and friends.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
