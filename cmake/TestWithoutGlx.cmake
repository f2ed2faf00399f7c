# zelm_add_test_without_glx(PROGRAM LABEL TEST): runs one GoogleTest test of a test
# program on an X server of its own, started without the GLX extension, as the CTest
# test TEST.WithoutGlx. ZELM_EXPECT_NO_GLX tells the test that it runs there, so that
# it fails rather than skips should the server offer GLX after all.
find_program(XVFB_RUN xvfb-run)

function(zelm_add_test_without_glx program label test)
  if(NOT XVFB_RUN)
    return()
  endif()
  add_test(NAME ${test}.WithoutGlx
    COMMAND ${XVFB_RUN} -a -s "-extension GLX -screen 0 1024x768x24" $<TARGET_FILE:${program}> --gtest_filter=${test})
  set_tests_properties(${test}.WithoutGlx PROPERTIES LABELS ${label} ENVIRONMENT ZELM_EXPECT_NO_GLX=1 TIMEOUT 120)
endfunction()
