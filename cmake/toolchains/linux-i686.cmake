# 32-bit x86 Linux with the host's multilib GCC (gcc-multilib, g++-multilib):
# the same i386 code generation as the 32-bit DLL (SSE2 arithmetic, see
# Arithmetic.cmake), in a program that runs under qemu-i386 user-mode
# emulation on kernels that cannot start 32-bit processes themselves.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
find_program(BREVANTO_QEMU_I386 NAMES qemu-i386-static qemu-i386)
if(BREVANTO_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${BREVANTO_QEMU_I386})
endif()
