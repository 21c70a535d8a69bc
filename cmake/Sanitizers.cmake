# AddressSanitizer + UndefinedBehaviorSanitizer; any report ends the test run.
set(_brevanto_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${_brevanto_san})
add_link_options(-fsanitize=address,undefined)
