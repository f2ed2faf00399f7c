# The JUCE modules, compiled once per build folder into one static library that
# the GUI library, the plug-in and the GUI tests link.
set(ZELM_JUCE_MODULES
  juce::juce_core juce::juce_events juce::juce_data_structures juce::juce_graphics
  juce::juce_gui_basics juce::juce_gui_extra juce::juce_opengl
  juce::juce_audio_basics)
add_library(juce_modules STATIC)
target_link_libraries(juce_modules
  PRIVATE
    ${ZELM_JUCE_MODULES}
  PUBLIC
    juce::juce_recommended_config_flags juce::pkgconfig_JUCE_IMG_LINUX_DEPS)
target_compile_definitions(juce_modules PRIVATE
  JUCE_WEB_BROWSER=0 JUCE_USE_CURL=0
  JUCE_STANDALONE_APPLICATION=0 JUCE_MODAL_LOOPS_PERMITTED=1
  JUCE_DISPLAY_SPLASH_SCREEN=0 JUCE_REPORT_APP_USAGE=0
  # Assertions are logged in every build type, so that tests can count them
  # through a juce::Logger.
  JUCE_LOG_ASSERTIONS=1)
set_target_properties(juce_modules PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)

# Users of the library see the same module headers and configuration as its sources.
target_compile_definitions(juce_modules INTERFACE
  $<TARGET_PROPERTY:juce_modules,COMPILE_DEFINITIONS>)
target_include_directories(juce_modules SYSTEM INTERFACE
  $<TARGET_PROPERTY:juce_modules,INCLUDE_DIRECTORIES>)
