# Native tests of quarnel-kit.  The PE reading and sealing tests read the
# sample product's quarnel.exe (and SAMPLE.PKG beside it) of both Windows
# builds; the trees that hold them are given here, as scripts/build.sh does,
# and must be built before the tests run.
set(QUARNEL_WIN32_SAMPLE "" CACHE FILEPATH
    "The i686 tree's sample quarnel.exe, read by the kit tests (e.g. build/win32/quarnel.exe)")
set(QUARNEL_WIN64_SAMPLE "" CACHE FILEPATH
    "The x86_64 tree's sample quarnel.exe, read by the kit tests (e.g. build/win64/quarnel.exe)")
foreach(exe QUARNEL_WIN32_SAMPLE QUARNEL_WIN64_SAMPLE)
  if(NOT ${exe})
    message(WARNING "${exe} is not set: the kit tests that read the sample installers will fail")
  endif()
endforeach()

file(GLOB KIT_TESTS ${CMAKE_SOURCE_DIR}/tests/kit/*_test.cpp)
add_executable(kit_tests ${KIT_TESTS})
target_link_libraries(kit_tests PRIVATE quarnel_kit gtest_main quarnel_warnings)
target_compile_definitions(kit_tests PRIVATE
  KIT_TOOL="$<TARGET_FILE:quarnel-kit>"
  KIT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  KIT_WIN32_EXE="${QUARNEL_WIN32_SAMPLE}"
  KIT_WIN64_EXE="${QUARNEL_WIN64_SAMPLE}")
set_target_properties(kit_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(kit_tests quarnel-kit)
add_test(NAME kit_tests COMMAND kit_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
