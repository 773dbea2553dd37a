# The source lists every tree builds from: the Windows trees and the native
# tree (src/CMakeLists.txt, src/kit/CMakeLists.txt) and the fuzz targets
# (fuzz/CMakeLists.txt).  A new module is added here once.

# The platform-free logic (logic.h): the installer and quarnel-kit link it.
set(QUARNEL_LOGIC_SOURCES)
foreach(name logic_text logic_package logic_path logic_rules logic_bar logic_integrity logic_png)
  list(APPEND QUARNEL_LOGIC_SOURCES ${CMAKE_CURRENT_LIST_DIR}/${name}.cpp)
endforeach()

# quarnel-kit's modules, without its command line (kit_main.cpp).
set(QUARNEL_KIT_SOURCES)
foreach(name kit_pe kit_pew kit_package kit_lint kit_seal kit_product kit_init kit_build kit_preview kit_preview_check kit_preview_page)
  list(APPEND QUARNEL_KIT_SOURCES ${CMAKE_CURRENT_LIST_DIR}/kit/${name}.cpp)
endforeach()
