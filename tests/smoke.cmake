quarnel_test_manifest(manifest_smoke ${CMAKE_CURRENT_SOURCE_DIR}/manifests/smoke.rc)
quarnel_add_test(test_smoke smoke_test.cpp MANIFESTS manifest_smoke)
# The guard reads which process kind this tree's run must be from here.
set_tests_properties(test_smoke PROPERTIES ENVIRONMENT QUARNEL_TREE_CPU=${CMAKE_SYSTEM_PROCESSOR})
