# The "zelm.meter~" plug-in. Its object code is a static library of its own, so
# that the tests can drive the class in-process; the module adds the entry point
# and exports nothing else.
file(GLOB METEROBJECT_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
list(REMOVE_ITEM METEROBJECT_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/MaxMspJuceWindowManager.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PluginMain.cpp)

add_library(meterobject STATIC ${METEROBJECT_SOURCES})
target_include_directories(meterobject PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(meterobject PUBLIC meterwindow oskelmax zelmdocs oskelgui kul juce_modules maxhost)
zelm_set_warnings(meterobject)

add_library(zelm_meter_plugin MODULE ${CMAKE_CURRENT_SOURCE_DIR}/PluginMain.cpp)
set_target_properties(zelm_meter_plugin PROPERTIES
  PREFIX ""
  OUTPUT_NAME "zelm.meter~"
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  LINK_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Exports.map)
target_link_libraries(zelm_meter_plugin PRIVATE meterobject meterwindow oskelmax zelmdocs oskelgui kul juce_modules maxhost)
# The libraries are built with default visibility; the version script keeps
# every symbol but main local to the plug-in.
target_link_options(zelm_meter_plugin PRIVATE
  -Wl,--no-undefined
  -Wl,--version-script=${CMAKE_CURRENT_SOURCE_DIR}/Exports.map)
zelm_set_warnings(zelm_meter_plugin)
