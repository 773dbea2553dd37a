# QuarnelDrive.cmake - quarnel-drive.exe: the Windows side of
# `quarnel-kit preview`, a console program that runs a product's installer
# through its windows and writes what it saw (src/drive/drive.h).  Built by
# each Windows tree for its own target, like the stub, and copied beside the
# native quarnel-kit as quarnel-drive-win32.exe or quarnel-drive-win64.exe,
# where the kit looks for it, each with its hook DLL of the same name.  The copy goes where the stub's goes
# (QUARNEL_STUB_COPY_DIR, see QuarnelStub.cmake).
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/QuarnelStub.cmake)

file(GLOB QUARNEL_DRIVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/drive/*.cpp)
add_executable(quarnel_drive ${QUARNEL_DRIVE_SOURCES})
set_target_properties(quarnel_drive PROPERTIES OUTPUT_NAME quarnel-drive RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(quarnel_drive PRIVATE quarnel_watch quarnel_logic ole32 uuid shell32 ntdll
  quarnel_warnings quarnel_hardening)

# Its hook, which it loads into the installer (drive_hook.c): a DLL of the
# same name beside it.
add_library(quarnel_drive_hook MODULE ${CMAKE_SOURCE_DIR}/src/drive/drive_hook.c)
set_target_properties(quarnel_drive_hook PROPERTIES PREFIX "" OUTPUT_NAME quarnel-drive
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(quarnel_drive_hook PRIVATE user32 quarnel_warnings quarnel_hardening)
add_dependencies(quarnel_drive quarnel_drive_hook)

quarnel_copy_beside_kit(quarnel_drive quarnel-drive
  FILES "$<TARGET_FILE:quarnel_drive>" "$<TARGET_FILE:quarnel_drive_hook>" EXTS .exe .dll)
