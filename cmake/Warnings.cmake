add_compile_options(-Wall -Wextra -Wpedantic)
if(BREVANTO_WERROR)
  add_compile_options(-Werror)
endif()
