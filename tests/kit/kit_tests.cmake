# Native tests of quarnel-kit (run from build/host).  The PE reading tests
# read the sample product's quarnel.exe of both Windows builds, which
# scripts/build.sh builds before the tests run.
file(GLOB KIT_TESTS ${CMAKE_SOURCE_DIR}/tests/kit/*_test.cpp)
add_executable(kit_tests ${KIT_TESTS})
target_link_libraries(kit_tests PRIVATE quarnel_kit gtest_main)
target_compile_options(kit_tests PRIVATE ${QUARNEL_WARNINGS})
target_compile_definitions(kit_tests PRIVATE
  KIT_TOOL="$<TARGET_FILE:quarnel-kit>"
  KIT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  KIT_WIN32_EXE="${CMAKE_SOURCE_DIR}/build/win32/quarnel.exe"
  KIT_WIN64_EXE="${CMAKE_SOURCE_DIR}/build/win64/quarnel.exe")
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
