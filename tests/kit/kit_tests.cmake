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
  KIT_WIN64_UNSEALED_EXE="${QUARNEL_WIN64_TREE}/tests/unsealed/quarnel.exe")
set_target_properties(kit_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(kit_tests quarnel-kit)
add_test(NAME kit_tests COMMAND kit_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
