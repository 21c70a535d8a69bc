add_compile_options(-Wall -Wextra -Wpedantic)
# GCC 12 at -O3 reports overlapping copies inside std::string's operator+ and
# insert that cannot happen (GCC bug 105329); the warning is kept for every
# other compiler.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
endif()
if(BREVANTO_WERROR)
  add_compile_options(-Werror)
endif()
