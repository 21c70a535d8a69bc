# libFuzzer build: the whole code base gets coverage instrumentation and the
# address and undefined-behaviour checks; only the fuzz target executables link
# the fuzzer's own main (see tests/fuzz). Any sanitizer report aborts the run,
# so a finding is always a crash the fuzzer keeps.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "BREVANTO_FUZZ needs clang (libFuzzer)")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer -g)
add_link_options(-fsanitize=address,undefined)
