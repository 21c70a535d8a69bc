# Shared part of the mingw-w64 toolchain files; they set
# BREVANTO_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${BREVANTO_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${BREVANTO_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${BREVANTO_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${BREVANTO_MINGW_TRIPLET}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${BREVANTO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The DLL must load on a bare Windows: the GCC and C++ runtimes go inside it,
# so it imports nothing but Windows' own DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
