# The program text must come out byte for byte the same on every build, so the
# floating-point code has to be evaluated exactly as written in IEEE double and
# single precision:
# - no contraction of a*b+c into a fused multiply-add (it skips one rounding);
# - on 32-bit x86 the SSE unit, not the x87 stack with its 80-bit registers;
# - never -ffast-math or -march=native.
add_compile_options(-ffp-contract=off)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86|X86|x86_64|AMD64)$")
  add_compile_options(-msse2 -mfpmath=sse)
endif()
