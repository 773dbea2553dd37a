# INI changes and the Program Manager conversation, each against its test
# manifests (one module per manifest, since a manifest is a whole table).
foreach(m ini_main ini_stop ini_cancel ini_none ini_cut)
  quarnel_test_manifest(manifest_${m} ${CMAKE_CURRENT_SOURCE_DIR}/manifests/${m}.rc)
  list(APPEND INI_MANIFESTS manifest_${m})
endforeach()
quarnel_add_test(test_ini ini_test.cpp MANIFESTS ${INI_MANIFESTS})

foreach(m dde_probe dde_gap dde_cut dde_zero dde_negative dde_nocount dde_noserver dde_shell
    dde_shellgap dde_longservice dde_quoted)
  quarnel_test_manifest(manifest_${m} ${CMAKE_CURRENT_SOURCE_DIR}/manifests/${m}.rc)
  list(APPEND DDE_MANIFESTS manifest_${m})
endforeach()
quarnel_add_test(test_dde dde_test.cpp MANIFESTS ${DDE_MANIFESTS})
# Shortcuts are read back through the shell's link object.
target_link_libraries(test_dde PRIVATE ole32 uuid shell32)
