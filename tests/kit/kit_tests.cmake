# Native tests of quarnel-kit.  The PE reading and sealing tests read the
# sample product of both Windows trees (quarnel.exe and SAMPLE.PKG at the
# top of each, and the unsealed build that tests/kit.cmake makes in
# tests/unsealed); the trees are given here, as scripts/build.sh does, and
# must be built before the tests run.
set(QUARNEL_WIN32_TREE "" CACHE PATH "The i686 build tree whose sample product the kit tests read")
set(QUARNEL_WIN64_TREE "" CACHE PATH "The x86_64 build tree whose sample product the kit tests read")
foreach(tree QUARNEL_WIN32_TREE QUARNEL_WIN64_TREE)
  if(NOT ${tree})
    message(WARNING "${tree} is not set: the kit tests that read the sample installers will fail")
  endif()
endforeach()

file(GLOB KIT_TESTS ${CMAKE_SOURCE_DIR}/tests/kit/*_test.cpp)
add_executable(kit_tests ${KIT_TESTS})
target_link_libraries(kit_tests PRIVATE quarnel_kit gtest_main quarnel_warnings)
target_compile_definitions(kit_tests PRIVATE
  KIT_TOOL="$<TARGET_FILE:quarnel-kit>"
  KIT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  KIT_WIN32_EXE="${QUARNEL_WIN32_TREE}/quarnel.exe"
  KIT_WIN64_EXE="${QUARNEL_WIN64_TREE}/quarnel.exe"
  KIT_WIN64_UNSEALED_EXE="${QUARNEL_WIN64_TREE}/tests/unsealed/quarnel.exe"
  KIT_WIN32_FULL_EXE="${QUARNEL_WIN32_TREE}/products/full/quarnel.exe"
  KIT_WIN64_FULL_EXE="${QUARNEL_WIN64_TREE}/products/full/quarnel.exe")
set_target_properties(kit_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(kit_tests quarnel-kit)
add_test(NAME kit_tests COMMAND kit_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR})

# quarnel-kit build with only the kit and osslsigncode on PATH: the same
# bytes from two folders under other zones, locales, umasks, input dates and
# a shifted clock, signed and unsigned; the signature verified and broken.
# Reads the stubs the Windows trees copy beside the kit.
add_test(NAME kit_build_sign_repro
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/kit/build_sign_repro.sh $<TARGET_FILE:quarnel-kit> ${CMAKE_SOURCE_DIR})
set_tests_properties(kit_build_sign_repro PROPERTIES TIMEOUT 300)

# The stubs built again in other build folders give the same bytes.
add_test(NAME kit_stub_repro
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/kit/stub_repro.sh $<TARGET_FILE:quarnel-kit> ${CMAKE_SOURCE_DIR}
          ${CMAKE_BINARY_DIR}/stub-repro)
set_tests_properties(kit_stub_repro PROPERTIES TIMEOUT 1200)

# The kit takes its default stub from beside itself.  The Windows trees copy
# theirs beside the kit they were given; a native tree of its own (the
# sanitizer build) gets them here, from the trees named above, before the
# tests that build products.
foreach(target win32 win64)
  string(TOUPPER ${target} upper)
  add_test(NAME kit_stub_${target}
    COMMAND ${CMAKE_COMMAND} -E copy ${QUARNEL_${upper}_TREE}/quarnel-stub.exe
            ${CMAKE_BINARY_DIR}/quarnel-stub-${target}.exe)
  set_tests_properties(kit_stub_${target} PROPERTIES FIXTURES_SETUP kit_stubs)
endforeach()
set_tests_properties(kit_tests kit_build_sign_repro kit_stub_repro PROPERTIES FIXTURES_REQUIRED kit_stubs)
