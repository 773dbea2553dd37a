# The preview driver (quarnel-drive.exe) run against the sample product and
# against a test product of its own, its drive.tsv and pictures checked.
quarnel_add_installer(e2e_preview MANIFEST ${CMAKE_CURRENT_SOURCE_DIR}/e2e/preview.rc
  OUTPUT_DIR ${QUARNEL_TEST_DIR}/e2e/preview)
quarnel_add_test(test_drive e2e/drive_test.cpp TIMEOUT 600)
add_dependencies(test_drive quarnel_drive quarnel e2e_preview)
