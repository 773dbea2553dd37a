# Tests of the manifest readers, the file-open call, the package builder and
# the command-line modes.
quarnel_test_manifest(manifest_readers ${CMAKE_CURRENT_SOURCE_DIR}/manifests/readers.rc)
quarnel_test_manifest(manifest_readers_override ${CMAKE_CURRENT_SOURCE_DIR}/manifests/readers_override.rc)
quarnel_add_test(test_readers readers_test.cpp MANIFESTS manifest_readers manifest_readers_override)
quarnel_add_test(test_builder builder_test.cpp MANIFESTS manifest_smoke manifest_readers_override)
quarnel_add_test(test_cmdline cmdline_test.cpp)
add_dependencies(test_cmdline quarnel)

