# QuarnelProduct.cmake - quarnel_add_product(): one product's quarnel.exe
# (the installer with the product's manifest string table) and its package,
# checked by quarnel-kit as part of the build so that a broken product fails
# to build.  Included by the Windows build trees (build/win32, build/win64).
#
# The package is made by the native tool quarnel-kit, which cannot come out
# of a cross-compiling tree.  It is found, in this order:
#   1. QUARNEL_KIT (cache): a quarnel-kit built or installed elsewhere; used
#      as it is.
#   2. QUARNEL_HOST_BUILD_DIR/quarnel-kit (default build/host/quarnel-kit):
#      the native build tree is configured if it does not exist yet, and the
#      tool is built there while this tree configures (the product's script
#      is read at configure time) and brought up to date again at every build
#      (target quarnel_kit_tool), so changes to the tool reach the products.
# Build the Windows trees one after the other, not at the same time: both
# would update the same native tree.
include_guard(GLOBAL)

set(QUARNEL_KIT "" CACHE FILEPATH "quarnel-kit to use; empty builds it in QUARNEL_HOST_BUILD_DIR")
set(QUARNEL_HOST_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/host" CACHE PATH
    "Native build tree in which quarnel-kit is built")

function(_quarnel_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "quarnel-kit could not be built natively:\n${ARGN}\n${out}")
  endif()
endfunction()

# Sets QUARNEL_KIT_EXE (and the target quarnel_kit_tool when it builds it).
function(_quarnel_provide_kit)
  if(QUARNEL_KIT)
    set(QUARNEL_KIT_EXE "${QUARNEL_KIT}" PARENT_SCOPE)
    return()
  endif()
  set(host "${QUARNEL_HOST_BUILD_DIR}")
  set(kit "${host}/quarnel-kit")
  if(NOT EXISTS "${host}/CMakeCache.txt")
    message(STATUS "Configuring the native tree ${host} for quarnel-kit")
    # This configure run has CC, CXX and RC set to the cross compilers; the
    # native tree must pick the build machine's own.
    _quarnel_run(${CMAKE_COMMAND} -E env --unset=CC --unset=CXX --unset=RC --unset=CFLAGS
                 --unset=CXXFLAGS --unset=LDFLAGS
                 ${CMAKE_COMMAND} -S "${CMAKE_SOURCE_DIR}" -B "${host}" -G "${CMAKE_GENERATOR}"
                 -DCMAKE_BUILD_TYPE=Release)
  endif()
  # Brought up to date now too: configuring reads product files with it.
  message(STATUS "Building quarnel-kit in ${host}")
  _quarnel_run(${CMAKE_COMMAND} --build "${host}" --target quarnel-kit)
  if(NOT TARGET quarnel_kit_tool)
    add_custom_target(quarnel_kit_tool
      COMMAND ${CMAKE_COMMAND} --build "${host}" --target quarnel-kit
      BYPRODUCTS "${kit}"
      COMMENT "Bringing quarnel-kit up to date in ${host}"
      VERBATIM)
  endif()
  set(QUARNEL_KIT_EXE "${kit}" PARENT_SCOPE)
endfunction()

# The classic files of a product file, written by the kit into the build
# tree: the script now (its item list is read while configuring) and again
# when the product file changes, the manifest at build time.
function(_quarnel_classic_files name product kit out_manifest out_script)
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${name}_manifest.rc")
  set(qps "${CMAKE_CURRENT_BINARY_DIR}/${name}.qps")
  execute_process(COMMAND "${kit}" script "${product}" -o "${qps}"
    RESULT_VARIABLE rc_code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc_code EQUAL 0)
    message(FATAL_ERROR "Product ${name}:\n${out}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${product}")
  add_custom_command(OUTPUT "${qps}" COMMAND "${kit}" script "${product}" -o "${qps}"
    DEPENDS "${product}" "${kit}" COMMENT "Product ${name}: package script" VERBATIM)
  add_custom_command(OUTPUT "${rc}" COMMAND "${kit}" manifest "${product}" -o "${rc}"
    DEPENDS "${product}" "${kit}" COMMENT "Product ${name}: manifest" VERBATIM)
  add_custom_target(${name}_manifest DEPENDS "${rc}")
  set(${out_manifest} "${rc}" PARENT_SCOPE)
  set(${out_script} "${qps}" PARENT_SCOPE)
endfunction()

# quarnel_add_product(NAME name {PRODUCT file.toml | MANIFEST file.rc SCRIPT file}
#                     [OUTPUT_DIR dir] [WORKING_DIRECTORY dir] [TARGET target] [STRICT]
#                     [SIGN_PKCS12 file.p12 [SIGN_PASSWORD_FILE file]])
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
#   SIGN_PKCS12        sign quarnel.exe with Authenticode after sealing
#                      (`quarnel-kit sign`, through osslsigncode); the
#                      password is read at build time from SIGN_PASSWORD_FILE
#                      or the environment variable QUARNEL_SIGN_PASSWORD,
#                      the signing time from SOURCE_DATE_EPOCH when set
#
# Builds OUTPUT_DIR/<package name of the script>, seals its checksums into
# OUTPUT_DIR/quarnel.exe (`quarnel-kit seal`: the installer then refuses any
# other package with message 307), then runs `quarnel-kit verify EXE PACKAGE --script SCRIPT` (the manifest's
# lint, the script against the manifest and the package against the
# manifest); any error fails the build.  Target NAME_product (in ALL) stands
# for the whole product.
function(quarnel_add_product)
  cmake_parse_arguments(ARG "STRICT"
    "NAME;PRODUCT;MANIFEST;SCRIPT;OUTPUT_DIR;WORKING_DIRECTORY;TARGET;SIGN_PKCS12;SIGN_PASSWORD_FILE" "" ${ARGN})
  set(required NAME MANIFEST SCRIPT)
  if(ARG_PRODUCT)
    set(required NAME)
  endif()
  foreach(arg ${required})
    if(NOT ARG_${arg})
      message(FATAL_ERROR "quarnel_add_product: ${arg} is required (or PRODUCT instead of MANIFEST and SCRIPT)")
    endif()
  endforeach()
  _quarnel_provide_kit()
  if(ARG_PRODUCT)
    get_filename_component(product "${ARG_PRODUCT}" ABSOLUTE)
    _quarnel_classic_files(${ARG_NAME} "${product}" "${QUARNEL_KIT_EXE}" ARG_MANIFEST ARG_SCRIPT)
  endif()
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

  set(kit "${QUARNEL_KIT_EXE}")

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

  # The package's checksums go into the installer as a resource, so the
  # installer refuses a package other than the one it was built with.  The
  # resource script depends on the package: a new package relinks the exe.
  set(sums_rc "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}_sums.rc")
  add_custom_command(OUTPUT "${sums_rc}"
    COMMAND "${kit}" seal "${package}" -o "${sums_rc}"
    DEPENDS "${package}" "${kit}"
    COMMENT "Sealing ${ARG_NAME}: checksums of ${package_name}"
    VERBATIM)

  quarnel_add_installer(${target} MANIFEST "${manifest}" OUTPUT_DIR "${outdir}")
  target_sources(${target} PRIVATE "${sums_rc}")
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

  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.verified")
  add_custom_command(OUTPUT "${stamp}"
    COMMAND "${kit}" verify "$<TARGET_FILE:${target}>" "${package}" --script "${script}" ${strict}
    COMMAND ${CMAKE_COMMAND} -E touch "${stamp}"
    WORKING_DIRECTORY "${workdir}"
    DEPENDS ${target} "${package}" "${script}" ${items} "${kit}"
    COMMENT "Checking ${ARG_NAME}: lint and verify"
    VERBATIM)

  add_custom_target(${ARG_NAME}_product ALL DEPENDS "${stamp}" "${package}")
  set_property(TARGET ${ARG_NAME}_product PROPERTY QUARNEL_MANIFEST_RC "${manifest}")
  if(TARGET quarnel_kit_tool)
    add_dependencies(${ARG_NAME}_product quarnel_kit_tool)
  endif()
endfunction()
