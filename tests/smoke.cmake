quarnel_test_manifest(manifest_smoke ${CMAKE_CURRENT_SOURCE_DIR}/manifests/smoke.rc)
quarnel_add_test(test_smoke smoke_test.cpp MANIFESTS manifest_smoke)
