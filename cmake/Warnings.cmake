# Every target of the project builds with the same warnings; CI turns them into errors.
add_library(tervane_warnings INTERFACE)
target_compile_options(tervane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<CXX_COMPILER_ID:GNU>:-Wsuggest-override>
  $<$<CXX_COMPILER_ID:Clang>:-Winconsistent-missing-override>
  $<$<BOOL:${TERVANE_WERROR}>:-Werror>)

if(TERVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
