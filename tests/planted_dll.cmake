# The DLL-search restriction at start-up, proven with a planted DLL: two
# copies of the program (the real one and a control copy built without the
# restriction) each run beside a DLL that records being loaded.
set(PLANTED_DIR ${QUARNEL_TEST_DIR}/planted)
get_target_property(SAMPLE_MANIFEST_RC sample_product QUARNEL_MANIFEST_RC)
quarnel_add_installer(planted_restricted MANIFEST ${SAMPLE_MANIFEST_RC} OUTPUT_DIR ${PLANTED_DIR}/restricted)
quarnel_add_installer(planted_open MANIFEST ${SAMPLE_MANIFEST_RC} OUTPUT_DIR ${PLANTED_DIR}/open)
add_dependencies(planted_restricted sample_manifest)
add_dependencies(planted_open sample_manifest)
target_compile_definitions(planted_open PRIVATE QUARNEL_NO_DLL_RESTRICTION)

add_library(planted_marker MODULE ${CMAKE_CURRENT_SOURCE_DIR}/planted/marker_dll.cpp)
target_link_libraries(planted_marker PRIVATE quarnel_logic quarnel_warnings)
set_target_properties(planted_marker PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${PLANTED_DIR})

quarnel_add_test(test_planted_dll ${CMAKE_CURRENT_SOURCE_DIR}/planted/planted_dll_test.cpp)
add_dependencies(test_planted_dll planted_restricted planted_open planted_marker)
target_link_libraries(test_planted_dll PRIVATE advapi32)
