# Warnings for our own targets only; third-party code keeps its own settings.
function(zelm_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ZELM_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
