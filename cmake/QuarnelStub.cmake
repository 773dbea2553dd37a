# QuarnelStub.cmake - quarnel-stub.exe: the installer with no product in it
# (no manifest string table, no package checksums), which
# `quarnel-kit build` turns into a product's installer without any Windows
# tool.  Linked stripped and without a time stamp: the same sources give
# the same bytes, and nothing but the relocations follows the resources.
#
# A copy goes beside the native quarnel-kit, as quarnel-stub-win32.exe or
# quarnel-stub-win64.exe: the one place the kit looks for its default stub.
# QUARNEL_STUB_COPY_DIR says where; by default the folder of QUARNEL_KIT
# when that is a build tree (it has a CMakeCache.txt), so that an installed
# kit's folder is never written to.  Each tree writes a file of its own, so
# the trees still build side by side.
include_guard(GLOBAL)

quarnel_add_installer(quarnel_stub OUTPUT_DIR ${CMAKE_BINARY_DIR})
set_target_properties(quarnel_stub PROPERTIES OUTPUT_NAME quarnel-stub)
target_link_options(quarnel_stub PRIVATE -s -Wl,--no-insert-timestamp)

get_filename_component(_kit_dir "${QUARNEL_KIT}" DIRECTORY)
set(_copy_default "")
if(EXISTS "${_kit_dir}/CMakeCache.txt")
  set(_copy_default "${_kit_dir}")
endif()
set(QUARNEL_STUB_COPY_DIR "${_copy_default}" CACHE PATH
    "Where the stub is copied for quarnel-kit (empty: nowhere)")
# Copies TARGET's files (FILES, generator expressions) beside quarnel-kit
# after each build, as BASENAME-win32 or BASENAME-win64 with the matching
# extension of EXTS: the one place the kit looks for them.
function(quarnel_copy_beside_kit TARGET BASENAME)
  cmake_parse_arguments(ARG "" "" "FILES;EXTS" ${ARGN})
  if(NOT QUARNEL_STUB_COPY_DIR)
    return()
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(copy "${QUARNEL_STUB_COPY_DIR}/${BASENAME}-win64")
  else()
    set(copy "${QUARNEL_STUB_COPY_DIR}/${BASENAME}-win32")
  endif()
  set(commands)
  foreach(file ext IN ZIP_LISTS ARG_FILES ARG_EXTS)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy "${file}" "${copy}${ext}")
  endforeach()
  add_custom_command(TARGET ${TARGET} POST_BUILD ${commands}
    COMMENT "Copying ${BASENAME} beside quarnel-kit: ${copy}"
    VERBATIM)
endfunction()

quarnel_copy_beside_kit(quarnel_stub quarnel-stub FILES "$<TARGET_FILE:quarnel_stub>" EXTS .exe)
