# QuarnelProduct.cmake - quarnel_add_product(): one product's quarnel.exe
# (the installer with the product's manifest string table) and its package,
# checked by quarnel-kit as part of the build so that a broken product fails
# to build.  Included by the Windows build trees (build/win32, build/win64).
#
# The package is made, sealed and checked by the native quarnel-kit, which
# a cross-compiling tree cannot build for itself: QUARNEL_KIT names it.
# scripts/build.sh builds the native tree (build/host) first and passes its
# quarnel-kit to each Windows tree; by hand:
#   cmake -S . -B build/host && cmake --build build/host --target quarnel-kit
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
#         -DQUARNEL_KIT=$PWD/build/host/quarnel-kit
# The tool is built in a step of its own before the Windows trees, rather
# than as an ExternalProject of each of them, because a product's script is
# read while the tree configures (the package name and the item files become
# the build's outputs and dependencies), when an ExternalProject has built
# nothing yet; and because one native build then serves both Windows trees,
# which can be configured and built side by side since neither writes to it.
# The products' build steps depend on the tool's file, so a rebuilt tool
# packs, seals and checks them again.
include_guard(GLOBAL)

set(QUARNEL_KIT "" CACHE FILEPATH "The native quarnel-kit that packs, seals and checks the products")
if(NOT QUARNEL_KIT OR NOT EXISTS "${QUARNEL_KIT}")
  message(FATAL_ERROR "QUARNEL_KIT must name a native quarnel-kit (now: '${QUARNEL_KIT}').  "
    "Build it first, e.g.  cmake -S ${CMAKE_SOURCE_DIR} -B build/host && "
    "cmake --build build/host --target quarnel-kit,  then configure this tree with "
    "-DQUARNEL_KIT=<that tree>/quarnel-kit; scripts/build.sh does both.")
endif()

# quarnel_add_product(NAME name MANIFEST file.rc SCRIPT file
#                     [OUTPUT_DIR dir] [WORKING_DIRECTORY dir] [TARGET target]
#                     [STRICT] [NO_SEAL])
#
#   NAME               the product's name, for target and folder names
#   MANIFEST           the product's string table (.rc; may #include "resource.h")
#   SCRIPT             the package script; the names in it resolve against
#                      WORKING_DIRECTORY (default: the script's directory)
#   OUTPUT_DIR         where quarnel.exe and the package go
#                      (default: <build tree>/products/NAME)
#   TARGET             name of the installer's target (default: quarnel_NAME)
#   STRICT             warnings of the check fail the build too
#   NO_SEAL            leave the package's checksums out of the installer
#
# Builds OUTPUT_DIR/<package name of the script>, seals its checksums into
# OUTPUT_DIR/quarnel.exe (`quarnel-kit seal`: the installer then refuses any
# other package with message 307), then runs `quarnel-kit verify EXE PACKAGE
# --script SCRIPT` (the manifest's lint, the script against the manifest and
# the package against the manifest and the seal); any error fails the build.
# Target NAME_product (in ALL) stands for the whole product.
#
# Sealing is the default: an installer that checks its package catches one
# damaged in transit or not its own.  NO_SEAL is for a product whose
# package is rebuilt apart from the installer, e.g. by the installer's own
# builder mode (quarnel.exe SCRIPT) on the author's Windows machine; that
# installer installs any package of the right layout, as one built without
# this function does.
function(quarnel_add_product)
  cmake_parse_arguments(ARG "STRICT;NO_SEAL" "NAME;MANIFEST;SCRIPT;OUTPUT_DIR;WORKING_DIRECTORY;TARGET" "" ${ARGN})
  foreach(required NAME MANIFEST SCRIPT)
    if(NOT ARG_${required})
      message(FATAL_ERROR "quarnel_add_product: ${required} is required")
    endif()
  endforeach()
  get_filename_component(manifest "${ARG_MANIFEST}" ABSOLUTE)
  get_filename_component(script "${ARG_SCRIPT}" ABSOLUTE)
  get_filename_component(workdir "${script}" DIRECTORY)
  if(ARG_WORKING_DIRECTORY)
    get_filename_component(workdir "${ARG_WORKING_DIRECTORY}" ABSOLUTE)
  endif()
  set(outdir "${CMAKE_BINARY_DIR}/products/${ARG_NAME}")
  if(ARG_OUTPUT_DIR)
    set(outdir "${ARG_OUTPUT_DIR}")
  endif()
  set(target "quarnel_${ARG_NAME}")
  if(ARG_TARGET)
    set(target "${ARG_TARGET}")
  endif()
  set(strict "")
  if(ARG_STRICT)
    set(strict --strict)
  endif()

  set(kit "${QUARNEL_KIT}")

  # The package name and the item files, read from the script now; the
  # script is a configure dependency, so editing it re-reads them.
  execute_process(COMMAND "${kit}" pack --dry-run "${script}"
    WORKING_DIRECTORY "${workdir}" RESULT_VARIABLE rc OUTPUT_VARIABLE listing ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "Product ${ARG_NAME}: ${err}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${script}")
  string(REGEX REPLACE "\n$" "" listing "${listing}")
  string(REPLACE ";" "\\;" listing "${listing}")
  string(REPLACE "\n" ";" listing "${listing}")
  list(POP_FRONT listing package)
  get_filename_component(package_name "${package}" NAME)
  set(items "")
  foreach(item IN LISTS listing)
    get_filename_component(item "${item}" ABSOLUTE BASE_DIR "${workdir}")
    list(APPEND items "${item}")
  endforeach()

  set(package "${outdir}/${package_name}")
  add_custom_command(OUTPUT "${package}"
    COMMAND "${kit}" pack "${script}" -o "${package}"
    WORKING_DIRECTORY "${workdir}"
    DEPENDS "${script}" ${items} "${kit}"
    COMMENT "Packing ${ARG_NAME}: ${package_name}"
    VERBATIM)

  quarnel_add_installer(${target} MANIFEST "${manifest}" OUTPUT_DIR "${outdir}")

  # The package's checksums go into the installer as a resource, so the
  # installer refuses a package other than the one it was built with.  The
  # resource script depends on the package: a new package relinks the exe.
  if(NOT ARG_NO_SEAL)
    set(sums_rc "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}_sums.rc")
    add_custom_command(OUTPUT "${sums_rc}"
      COMMAND "${kit}" seal "${package}" -o "${sums_rc}"
      DEPENDS "${package}" "${kit}"
      COMMENT "Sealing ${ARG_NAME}: checksums of ${package_name}"
      VERBATIM)
    target_sources(${target} PRIVATE "${sums_rc}")
  endif()

  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.verified")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND "${kit}" verify "$<TARGET_FILE:${target}>" "${package}" --script "${script}" ${strict}
    COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
    WORKING_DIRECTORY "${workdir}"
    DEPENDS ${target} "${package}" "${script}" ${items} "${kit}"
    COMMENT "Checking ${ARG_NAME}: lint and verify"
    VERBATIM)

  add_custom_target(${ARG_NAME}_product ALL DEPENDS "${stamp}" "${package}")
endfunction()
