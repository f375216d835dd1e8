# Warnings and the optional sanitizer build, applied to every target.
add_compile_options(-Wall -Wextra -Wno-unused-parameter)

if(TEVRANO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Fuzz builds instrument the whole control for coverage, so that the fuzzers
# are guided by the parsers they call and not only by their own file.
if(TEVRANO_BUILD_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# Hot paths (parsing, conversion, scaling) are written to be vectorised; the
# files that hold them add tevrano_hot_path() to get -O3 in optimised builds.
function(tevrano_hot_path)
  if(NOT CMAKE_BUILD_TYPE STREQUAL "Debug")
    set_source_files_properties(${ARGN} DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                                PROPERTIES COMPILE_OPTIONS "-O3")
  endif()
endfunction()
