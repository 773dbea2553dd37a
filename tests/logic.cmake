# The platform-free logic's tests also run as a Windows program.
file(GLOB LOGIC_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/logic/*.cpp)
quarnel_add_test(test_logic ${LOGIC_TESTS})
