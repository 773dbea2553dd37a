# The installer driven from outside: one quarnel.exe per test product, each
# in its own folder under tests/e2e/, and the program that starts them,
# finds their windows, answers them and checks what was installed.
set(QUARNEL_E2E_PRODUCTS full basic partial nobody space twoitems)
set(QUARNEL_E2E_TARGETS)
foreach(product ${QUARNEL_E2E_PRODUCTS})
  quarnel_add_installer(e2e_${product} MANIFEST ${CMAKE_CURRENT_SOURCE_DIR}/e2e/${product}.rc
    OUTPUT_DIR ${QUARNEL_TEST_DIR}/e2e/${product})
  list(APPEND QUARNEL_E2E_TARGETS e2e_${product})
endforeach()

quarnel_add_test(test_driver_e2e e2e/driver_e2e_test.cpp
  e2e/e2e_session.cpp TIMEOUT 900)
add_dependencies(test_driver_e2e ${QUARNEL_E2E_TARGETS} quarnel)
target_link_libraries(test_driver_e2e PRIVATE ole32 uuid shell32)

# Double-byte names typed into the installer, both processes in a Japanese
# locale (code page 932); scripts/deps.sh generates the locale.
add_test(NAME test_driver_e2e_ja COMMAND test_driver_e2e --gtest_filter=CodePage932/*
  WORKING_DIRECTORY ${QUARNEL_TEST_DIR})
set_tests_properties(test_driver_e2e_ja PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300
  ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8;QUARNEL_EXPECT_ACP=932")

# The driver's own functions called directly, with manifests of their own.
quarnel_test_manifest(manifest_driver ${CMAKE_CURRENT_SOURCE_DIR}/manifests/driver.rc)
quarnel_test_manifest(manifest_driver_nowarn ${CMAKE_CURRENT_SOURCE_DIR}/manifests/driver_nowarn.rc)
quarnel_add_test(test_driver e2e/driver_unit_test.cpp e2e/e2e_session.cpp MANIFESTS manifest_driver manifest_driver_nowarn)
target_link_libraries(test_driver PRIVATE ole32 uuid shell32)
