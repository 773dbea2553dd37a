# QuarnelStub.cmake - quarnel-stub.exe: the installer with no product in it
# (no manifest string table, no package checksums), which
# `quarnel-kit build` turns into a product's installer without any Windows
# tool.  Linked stripped and without a time stamp: the same sources give
# the same bytes, and nothing but the relocations follows the resources.
# A copy goes beside the native quarnel-kit this tree uses, as
# quarnel-stub-win32.exe or quarnel-stub-win64.exe: the one place the kit
# looks for its default stub.
include_guard(GLOBAL)

quarnel_add_installer(quarnel_stub OUTPUT_DIR ${CMAKE_BINARY_DIR})
set_target_properties(quarnel_stub PROPERTIES OUTPUT_NAME quarnel-stub)
target_link_options(quarnel_stub PRIVATE -s -Wl,--no-insert-timestamp)

if(NOT QUARNEL_KIT)
  # A kit given from outside brings its own stubs; only the kit this
  # checkout builds gets them from here.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(stub_copy "${QUARNEL_HOST_BUILD_DIR}/quarnel-stub-win64.exe")
  else()
    set(stub_copy "${QUARNEL_HOST_BUILD_DIR}/quarnel-stub-win32.exe")
  endif()
  add_custom_command(TARGET quarnel_stub POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory "${QUARNEL_HOST_BUILD_DIR}"
    COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:quarnel_stub>" "${stub_copy}"
    COMMENT "Copying the stub beside quarnel-kit: ${stub_copy}"
    VERBATIM)
endif()
