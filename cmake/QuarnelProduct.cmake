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

# The classic files of a product file, written by the kit into the build
# tree: the script now (its item list is read while configuring) and again
# when the product file changes, the manifest at build time.  With STRICT
# the product file's own warnings (those the manifest's lint cannot see,
# such as a completion message that is never shown) fail the build too.
function(_quarnel_classic_files name product out_manifest out_script)
  set(strict "")
  if("STRICT" IN_LIST ARGN)
    set(strict --strict)
  endif()
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${name}_manifest.rc")
  set(qps "${CMAKE_CURRENT_BINARY_DIR}/${name}.qps")
  execute_process(COMMAND "${QUARNEL_KIT}" script "${product}" -o "${qps}"
    RESULT_VARIABLE rc_code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc_code EQUAL 0)
    message(FATAL_ERROR "Product ${name}:\n${out}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${product}")
  add_custom_command(OUTPUT "${qps}" COMMAND "${QUARNEL_KIT}" script "${product}" -o "${qps}"
    DEPENDS "${product}" "${QUARNEL_KIT}" COMMENT "Product ${name}: package script" VERBATIM)
  add_custom_command(OUTPUT "${rc}" COMMAND "${QUARNEL_KIT}" manifest "${product}" -o "${rc}" ${strict}
    DEPENDS "${product}" "${QUARNEL_KIT}" COMMENT "Product ${name}: manifest" VERBATIM)
  add_custom_target(${name}_manifest DEPENDS "${rc}")
  set(${out_manifest} "${rc}" PARENT_SCOPE)
  set(${out_script} "${qps}" PARENT_SCOPE)
endfunction()

# quarnel_add_product(NAME name {PRODUCT file.toml | MANIFEST file.rc SCRIPT file}
#                     [OUTPUT_DIR dir] [WORKING_DIRECTORY dir] [TARGET target]
#                     [STRICT] [NO_SEAL] [PREVIEW] [SIGN_PKCS12 file.p12 [SIGN_PASSWORD_FILE file]])
#
#   NAME               the product's name, for target and folder names
#   PRODUCT            the product file; the kit writes the manifest and the
#                      script from it into the build tree (target
#                      NAME_manifest; the product target's property
#                      QUARNEL_MANIFEST_RC names the manifest)
#   MANIFEST           instead of PRODUCT: the product's string table (.rc;
#                      may #include "resource.h")
#   SCRIPT             with MANIFEST: the package script; the names in it
#                      resolve against WORKING_DIRECTORY (default: the
#                      script's directory)
#   OUTPUT_DIR         where quarnel.exe and the package go
#                      (default: <build tree>/products/NAME)
#   TARGET             name of the installer's target (default: quarnel_NAME)
#   STRICT             warnings of the check fail the build too
#   NO_SEAL            leave the package's checksums out of the installer
#   PREVIEW            add a CTest entry, preview_NAME, that runs
#                      `quarnel-kit preview EXE PACKAGE --strict` on what this
#                      tree built (--64 or --32 after the tree's target): the
#                      installer driven under Wine through both installs, its
#                      page and report in <build tree>/preview/NAME; any
#                      finding fails it
#   SIGN_PKCS12        sign quarnel.exe with Authenticode after sealing
#                      (`quarnel-kit sign`, through osslsigncode); the
#                      password is read at build time from SIGN_PASSWORD_FILE
#                      or the environment variable QUARNEL_SIGN_PASSWORD,
#                      the signing time from SOURCE_DATE_EPOCH when set
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
  cmake_parse_arguments(ARG "STRICT;NO_SEAL;PREVIEW"
    "NAME;PRODUCT;MANIFEST;SCRIPT;OUTPUT_DIR;WORKING_DIRECTORY;TARGET;SIGN_PKCS12;SIGN_PASSWORD_FILE" "" ${ARGN})
  set(required NAME MANIFEST SCRIPT)
  if(ARG_PRODUCT AND ARG_NAME)
    get_filename_component(product "${ARG_PRODUCT}" ABSOLUTE)
    set(strict_flag "")
    if(ARG_STRICT)
      set(strict_flag STRICT)
    endif()
    _quarnel_classic_files(${ARG_NAME} "${product}" ARG_MANIFEST ARG_SCRIPT ${strict_flag})
  endif()
  foreach(arg ${required})
    if(NOT ARG_${arg})
      message(FATAL_ERROR "quarnel_add_product: ${arg} is required (or PRODUCT instead of MANIFEST and SCRIPT)")
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
  if(ARG_SIGN_PKCS12)
    # Signing comes last, once the checksums are in: it adds a certificate
    # table the checksums do not cover.
    get_filename_component(p12 "${ARG_SIGN_PKCS12}" ABSOLUTE)
    set(passfile "")
    if(ARG_SIGN_PASSWORD_FILE)
      get_filename_component(passfile "${ARG_SIGN_PASSWORD_FILE}" ABSOLUTE)
      set(passfile --sign-password-file "${passfile}")
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND "${kit}" sign "$<TARGET_FILE:${target}>" --sign-pkcs12 "${p12}" ${passfile}
      COMMENT "Signing ${ARG_NAME}"
      VERBATIM)
  endif()

  # A manifest written from a product file had its findings reported at
  # the product's lines already; verify does not repeat them.
  set(from_product "")
  if(ARG_PRODUCT)
    set(from_product --from-product "${product}")
  endif()
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.verified")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND "${kit}" verify "$<TARGET_FILE:${target}>" "${package}" --script "${script}" ${strict} ${from_product}
    COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
    WORKING_DIRECTORY "${workdir}"
    DEPENDS ${target} "${package}" "${script}" ${items} "${kit}"
    COMMENT "Checking ${ARG_NAME}: lint and verify"
    VERBATIM)

  if(ARG_PREVIEW)
    # The tree's own build of the product, as it ships; a tree for 32-bit
    # Windows previews under WoW64 and fails, saying so, on a machine that
    # cannot run 32-bit code.
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
      set(bits --64)
    else()
      set(bits --32)
    endif()
    add_test(NAME preview_${ARG_NAME}
      COMMAND "${kit}" preview "$<TARGET_FILE:${target}>" "${package}"
              -o "${CMAKE_BINARY_DIR}/preview/${ARG_NAME}" ${bits} --strict)
    set_tests_properties(preview_${ARG_NAME} PROPERTIES TIMEOUT 600)
  endif()

  add_custom_target(${ARG_NAME}_product ALL DEPENDS "${stamp}" "${package}")
  set_property(TARGET ${ARG_NAME}_product PROPERTY QUARNEL_MANIFEST_RC "${manifest}")
endfunction()
