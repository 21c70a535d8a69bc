# Cross-build for 32-bit Windows (x86) with Debian's mingw-w64.
# The win32 thread model keeps libwinpthread out of the DLL: the library's
# only lock is a Windows SRW lock, so it needs no C++ thread support.
set(BREVANTO_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
