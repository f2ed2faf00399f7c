# Warnings for our own targets only; third-party code keeps its own settings.
function(zelm_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # GCC 12 at -O3 (Release) reports overlapping copies inside std::string's operator+ of a
  # literal and a temporary, which cannot overlap (its bug 105651); with warnings as errors
  # every such concatenation would stop a Release build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
     AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(ZELM_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
