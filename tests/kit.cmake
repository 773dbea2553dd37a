# quarnel-kit pack against quarnel.exe's builder mode, under Wine: the same
# scripts must give the same package bytes.  Needs the native tool, which
# cmake/QuarnelProduct.cmake provides.
if(COMMAND _quarnel_provide_kit)
  _quarnel_provide_kit()
  add_test(NAME kit_pack_vs_builder
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/kit/pack_vs_builder.sh ${CMAKE_BINARY_DIR}
            $<TARGET_FILE:quarnel> ${QUARNEL_KIT_EXE})
  set_tests_properties(kit_pack_vs_builder PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600)
endif()
