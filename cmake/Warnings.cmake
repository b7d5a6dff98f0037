# Every target of the project builds with the same warnings; CI turns them into errors.
add_library(tervane_warnings INTERFACE)
target_compile_options(tervane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<CXX_COMPILER_ID:GNU>:-Wsuggest-override>
  $<$<CXX_COMPILER_ID:Clang>:-Winconsistent-missing-override>
  $<$<BOOL:${TERVANE_WERROR}>:-Werror>
  # GCC 12 at -O3 reports inlined std::string copies as overflowing (GCC bug 105329 and
  # relatives); in optimised builds these three checks give only that false alarm.
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>,$<CONFIG:Release>>:-Wno-stringop-overflow;-Wno-restrict;-Wno-array-bounds>)

if(TERVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Data races in the threads the lanes, the runner and the off-main work start; cannot be
# combined with the address sanitizer.
if(TERVANE_TSAN)
  if(TERVANE_SANITIZE)
    message(FATAL_ERROR "TERVANE_TSAN and TERVANE_SANITIZE cannot be combined")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Every library is instrumented for coverage-guided fuzzing; only the targets under fuzz/
# link the fuzzer's own main.
if(TERVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TERVANE_FUZZ needs clang (use the fuzz preset)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                      -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
