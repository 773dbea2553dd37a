# Package check tests.  The sealed package is packed from tests/integrity/
# and its checksums are linked into manifest_integrity_sealed, as a product
# build does; the other manifests carry checksums written by hand, or none.
set(integrity_dir ${QUARNEL_TEST_DIR}/integrity)
set(integrity_src ${CMAKE_CURRENT_SOURCE_DIR}/integrity)
file(GLOB integrity_items CONFIGURE_DEPENDS ${integrity_src}/items/*)
add_custom_command(OUTPUT ${integrity_dir}/XSEAL.PKG
  COMMAND ${CMAKE_COMMAND} -E make_directory ${integrity_dir}
  COMMAND ${QUARNEL_KIT} pack sealed.qps -o ${integrity_dir}/XSEAL.PKG
  WORKING_DIRECTORY ${integrity_src}
  DEPENDS ${integrity_src}/sealed.qps ${integrity_items} ${QUARNEL_KIT}
  VERBATIM)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/integrity_sums.rc
  COMMAND ${QUARNEL_KIT} seal ${integrity_dir}/XSEAL.PKG -o ${CMAKE_CURRENT_BINARY_DIR}/integrity_sums.rc
  DEPENDS ${integrity_dir}/XSEAL.PKG ${QUARNEL_KIT}
  VERBATIM)

quarnel_test_manifest(manifest_integrity_sealed ${CMAKE_CURRENT_SOURCE_DIR}/manifests/integrity_sealed.rc
  ${CMAKE_CURRENT_BINARY_DIR}/integrity_sums.rc)
foreach(m hand none later plain)
  quarnel_test_manifest(manifest_integrity_${m} ${CMAKE_CURRENT_SOURCE_DIR}/manifests/integrity_${m}.rc)
endforeach()

quarnel_add_test(test_integrity integrity_test.cpp
  MANIFESTS manifest_integrity_sealed manifest_integrity_hand manifest_integrity_none
            manifest_integrity_later manifest_integrity_plain)
target_compile_definitions(test_integrity PRIVATE INTEGRITY_ITEMS="${integrity_src}/items/")
