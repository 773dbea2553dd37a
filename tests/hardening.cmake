# The shipped program's PE header flags, stack protection and import list.
add_test(NAME pe_hardening COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/hardening/check_pe.sh ${CMAKE_BINARY_DIR} ${QUARNEL_TRIPLE})
