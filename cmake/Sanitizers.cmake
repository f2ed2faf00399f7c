# Sanitizer builds apply to every target of the tree, JUCE included, so that
# instrumented and uninstrumented code never meet in one process.
if(ZELM_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(ZELM_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT ZELM_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZELM_SANITIZE must be empty, 'address' or 'thread'")
endif()
