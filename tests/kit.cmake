# quarnel-kit pack against quarnel.exe's builder mode, under Wine: the same
# scripts must give the same package bytes.  The native tool is the one the
# products are packed with (QUARNEL_KIT, cmake/QuarnelProduct.cmake).
add_test(NAME kit_pack_vs_builder
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/kit/pack_vs_builder.sh ${CMAKE_BINARY_DIR}
          $<TARGET_FILE:quarnel> ${QUARNEL_KIT})
set_tests_properties(kit_pack_vs_builder PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600)

# The sample product once more without its seal, for the native kit tests
# (tests/kit/kit_tests.cmake): what NO_SEAL builds.
quarnel_add_product(NAME sample_unsealed PRODUCT ${CMAKE_SOURCE_DIR}/examples/sample/sample.toml
  OUTPUT_DIR ${QUARNEL_TEST_DIR}/unsealed NO_SEAL)

# quarnel-kit preview of products made to go wrong, under this tree's Wine:
# exactly the findings they were made with, and status 2 when the install
# itself fails.  Starts its own Wine prefixes and virtual display.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_preview_bits --64)
else()
  set(_preview_bits --32)
endif()
add_test(NAME kit_preview_findings
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/kit/preview_findings.sh ${QUARNEL_KIT}
          ${QUARNEL_TEST_DIR}/preview-findings ${_preview_bits})
set_tests_properties(kit_preview_findings PROPERTIES TIMEOUT 900)
