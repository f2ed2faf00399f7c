# Sanitizer builds apply to every target of the tree, JUCE included, so that
# instrumented and uninstrumented code never meet in one process.
if(ZELM_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(ZELM_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(ZELM_SANITIZE STREQUAL "fuzzer")
  # The fuzz targets (fuzz/), built with clang: coverage for libFuzzer in the
  # library code, ASan+UBSan everywhere; the targets themselves link -fsanitize=fuzzer.
  # clang does not announce ASan by GCC's macro, on which the code's sanitizer paths
  # (plain loops in place of the function clones) depend.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
    -D__SANITIZE_ADDRESS__=1)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT ZELM_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZELM_SANITIZE must be empty, 'address', 'thread' or 'fuzzer'")
endif()

# RealtimeSanitizer's runtime, linked into the programs of the normal build that
# run audio code inside its real-time context. It cannot share a process with
# the other sanitizers.
set(ZELM_RTSAN_RUNTIME /usr/lib/llvm-19/lib/clang/19/lib/linux/libclang_rt.rtsan-x86_64.a)
if(ZELM_SANITIZE STREQUAL "" AND NOT EXISTS ${ZELM_RTSAN_RUNTIME})
  message(FATAL_ERROR "The real-time check needs ${ZELM_RTSAN_RUNTIME} (package libclang-rt-19-dev; run ./setup)")
endif()
