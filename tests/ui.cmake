# Dialog templates and icons read back from the built resources, and the
# progress window driven on the virtual display.
quarnel_test_manifest(manifest_ui ${CMAKE_CURRENT_SOURCE_DIR}/manifests/ui.rc)
quarnel_test_manifest(manifest_ui_ask ${CMAKE_CURRENT_SOURCE_DIR}/manifests/ui_ask.rc)
quarnel_add_test(test_templates templates_test.cpp MANIFESTS manifest_ui)
# Also reads the templates out of the sample product's quarnel.exe.
add_dependencies(test_templates quarnel)
quarnel_add_test(test_statbar statbar_test.cpp MANIFESTS manifest_ui manifest_ui_ask)
