# Item extraction tests.  The cases that need the Linux side prepared (a full
# drive, an immutable file) run as tests of their own through
# tests/extract/fs_case.sh and report themselves skipped in the plain run.
foreach(m basic rules missing damage long empty full unload unload_quiet)
  quarnel_test_manifest(manifest_extract_${m} ${CMAKE_CURRENT_SOURCE_DIR}/manifests/extract_${m}.rc)
endforeach()

quarnel_add_test(test_extract extract_test.cpp
  MANIFESTS manifest_extract_basic manifest_extract_rules manifest_extract_missing
            manifest_extract_damage manifest_extract_long manifest_extract_empty
            manifest_extract_full manifest_extract_unload manifest_extract_unload_quiet)

foreach(case full locked)
  add_test(NAME test_extract_${case}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/extract/fs_case.sh ${case} ${CMAKE_BINARY_DIR}
            ${QUARNEL_TEST_DIR}/test_extract.exe
    WORKING_DIRECTORY ${QUARNEL_TEST_DIR})
  # both cases write the same package beside the test program
  set_tests_properties(test_extract_${case} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120
    RESOURCE_LOCK extract_full_package)
endforeach()
