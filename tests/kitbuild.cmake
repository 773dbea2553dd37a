# The sample built by `quarnel-kit build` into this tree's stub, unsigned
# and signed, and the sample linked by quarnel_add_product(... SIGN_PKCS12),
# compared under Wine with the sample that quarnel_add_product() links:
# strings, checksums, templates, version resource and whole installs.

# The throw-away certificate both signed builds use, made once.
set(test_cert ${CMAKE_BINARY_DIR}/tests/cert)
if(NOT EXISTS ${test_cert}/signer.p12)
  execute_process(COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/kit/testcert.sh ${test_cert} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "could not make the test certificate with openssl (scripts/deps.sh installs it)")
  endif()
endif()
quarnel_add_product(NAME signedsample
  PRODUCT ${CMAKE_SOURCE_DIR}/examples/sample/sample.toml
  OUTPUT_DIR ${QUARNEL_TEST_DIR}/e2e/signedsample
  SIGN_PKCS12 ${test_cert}/signer.p12 SIGN_PASSWORD_FILE ${test_cert}/password.txt)
add_test(NAME kit_signed_product_verifies
  COMMAND osslsigncode verify -CAfile ${test_cert}/ca.pem -in ${QUARNEL_TEST_DIR}/e2e/signedsample/quarnel.exe)

add_test(NAME kit_build_sample
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/kit_build_sample.sh ${QUARNEL_KIT}
          $<TARGET_FILE:quarnel_stub> ${CMAKE_SOURCE_DIR}/examples/sample ${QUARNEL_TEST_DIR}/e2e ${test_cert})
set_tests_properties(kit_build_sample PROPERTIES FIXTURES_SETUP kitsample)

quarnel_add_test(test_kit_installer e2e/kit_installer_test.cpp e2e/e2e_session.cpp TIMEOUT 600)
target_link_libraries(test_kit_installer PRIVATE ole32 uuid shell32 version)
add_dependencies(test_kit_installer quarnel quarnel_stub signedsample_product)
set_tests_properties(test_kit_installer PROPERTIES FIXTURES_REQUIRED "wine;kitsample")

# The kit's Windows console build cannot sign, and says so.
add_test(NAME kit_console_cannot_sign
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine/run.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:quarnel-kit>
          build sample.toml -o kitconsole --sign-pkcs12 signer.p12
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/examples/sample)
set_tests_properties(kit_console_cannot_sign PROPERTIES FIXTURES_REQUIRED wine
  PASS_REGULAR_EXPRESSION "signing is done by the native quarnel-kit")

# The console kit rebuilds into a folder that holds a build, and writes
# over its earlier outputs.
add_test(NAME kit_console_rebuilds
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/kit/console_rebuild.sh ${CMAKE_CURRENT_SOURCE_DIR}/wine/run.sh
          ${CMAKE_BINARY_DIR} $<TARGET_FILE:quarnel-kit> $<TARGET_FILE:quarnel_stub>
          ${CMAKE_SOURCE_DIR}/examples/sample ${QUARNEL_TEST_DIR}/kitconsole)
set_tests_properties(kit_console_rebuilds PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)

# Products made up from a seed, built by this tree's console quarnel-kit
# into its stub, installed through the installer's windows and read back.
# A new seed each day; QUARNEL_ROUNDTRIP_SEED replays one product and
# QUARNEL_ROUNDTRIP_COUNT runs more (docs/testing.md).
quarnel_add_test(test_roundtrip e2e/roundtrip_test.cpp e2e/e2e_session.cpp TIMEOUT 1800)
target_link_libraries(test_roundtrip PRIVATE ole32 uuid shell32)
add_dependencies(test_roundtrip quarnel-kit quarnel_stub)
