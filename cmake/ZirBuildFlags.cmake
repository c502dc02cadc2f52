# zir_build_flags: the warnings and sanitizers every target of the project is
# built with. Each target links it (PRIVATE); nothing is set directory-wide, so
# imported libraries and their headers keep their own flags.
add_library(zir_build_flags INTERFACE)
target_compile_options(zir_build_flags INTERFACE
  -Wall -Wextra -Wpedantic
  -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast)
if(ZIR_WERROR)
  target_compile_options(zir_build_flags INTERFACE -Werror)
endif()
if(ZIR_SANITIZE)
  target_compile_options(zir_build_flags INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(zir_build_flags INTERFACE -fsanitize=address,undefined)
endif()
