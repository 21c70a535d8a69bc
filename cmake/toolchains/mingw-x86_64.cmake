# Cross-build for 64-bit Windows (x64) with Debian's mingw-w64.
# The win32 thread model keeps libwinpthread out of the DLL: the library's
# only lock is a Windows SRW lock, so it needs no C++ thread support.
set(BREVANTO_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
