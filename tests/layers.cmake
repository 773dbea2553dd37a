# The include order of the sources against src/layers.txt, and the check
# itself on a tree with an include that points up (it must name it).  Plain
# CMake scripts: no Wine, no build.
add_test(NAME include_layers
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/src -DLAYERS=${CMAKE_SOURCE_DIR}/src/layers.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/layers/check_includes.cmake)
add_test(NAME include_layers_upward
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_CURRENT_SOURCE_DIR}/layers/upward
          -DLAYERS=${CMAKE_CURRENT_SOURCE_DIR}/layers/upward/layers.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/layers/check_includes.cmake)
# Passes only when the check fails with both offences of the broken tree.
set_tests_properties(include_layers_upward PROPERTIES
  PASS_REGULAR_EXPRESSION "low.h includes \"high.h\", which lies in a layer above it.*stray.h belongs to no layer")
