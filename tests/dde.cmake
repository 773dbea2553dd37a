# INI changes and the Program Manager conversation, each against its test
# manifests (one module per manifest, since a manifest is a whole table).
foreach(m ini_main ini_stop ini_cancel ini_none ini_cut)
  quarnel_test_manifest(manifest_${m} ${CMAKE_CURRENT_SOURCE_DIR}/manifests/${m}.rc)
endforeach()
quarnel_add_test(test_ini ini_test.cpp MANIFESTS manifest_ini_main manifest_ini_stop
  manifest_ini_cancel manifest_ini_none manifest_ini_cut)
