# Tests of the manifest readers, the file-open call, the package builder and
# the command-line modes.
quarnel_test_manifest(manifest_readers ${CMAKE_CURRENT_SOURCE_DIR}/manifests/readers.rc)
quarnel_test_manifest(manifest_readers_override ${CMAKE_CURRENT_SOURCE_DIR}/manifests/readers_override.rc)
quarnel_add_test(test_readers readers_test.cpp MANIFESTS manifest_readers manifest_readers_override)
quarnel_add_test(test_builder builder_test.cpp MANIFESTS manifest_smoke manifest_readers_override)
quarnel_add_test(test_cmdline cmdline_test.cpp)
add_dependencies(test_cmdline quarnel)

# The installer must run on a bare system: it may import system libraries only.
add_test(NAME quarnel_imports_system_only
  COMMAND sh -c "${CMAKE_OBJDUMP} -p \"$1\" | sed -n 's/^[[:space:]]*DLL Name: //p' > \"$2\" && test -s \"$2\" && ! grep -viE '^(KERNEL32|USER32|GDI32|COMDLG32|msvcrt|ADVAPI32|SHELL32)\\.dll$' \"$2\""
  imports $<TARGET_FILE:quarnel> ${CMAKE_BINARY_DIR}/tests/quarnel-imports.txt)
