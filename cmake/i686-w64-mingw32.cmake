# Cross toolchain: 32-bit Windows with MinGW-w64, for the shipped program.
# The -posix compilers are used because GoogleTest needs std::thread and
# friends.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
# 32-bit Windows calls window procedures and callbacks with a stack aligned
# to 4 bytes, all its calling convention promises; the compiler would assume
# 16 and leave aligned locals misaligned. Told so, every function that needs
# more alignment realigns its own frame, whoever calls it.
set(CMAKE_C_FLAGS_INIT "-mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-mincoming-stack-boundary=2")
