# The sample built by `quarnel-kit build` into this tree's stub, then
# compared under Wine with the sample that quarnel_add_product() links:
# strings, checksums, templates, version resource and a whole install.
if(COMMAND _quarnel_provide_kit)
  _quarnel_provide_kit()
  add_test(NAME kit_build_sample
    COMMAND ${QUARNEL_KIT_EXE} build sample.toml -o ${QUARNEL_TEST_DIR}/e2e/kitsample
            --stub $<TARGET_FILE:quarnel_stub>
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/examples/sample)
  set_tests_properties(kit_build_sample PROPERTIES FIXTURES_SETUP kitsample)

  quarnel_add_test(test_kit_installer e2e/kit_installer_test.cpp e2e/e2e_session.cpp TIMEOUT 600)
  target_link_libraries(test_kit_installer PRIVATE ole32 uuid shell32 version)
  add_dependencies(test_kit_installer quarnel quarnel_stub)
  set_tests_properties(test_kit_installer PROPERTIES FIXTURES_REQUIRED "wine;kitsample")
endif()
