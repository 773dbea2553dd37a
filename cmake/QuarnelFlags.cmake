# QuarnelFlags.cmake - the flags our own targets share, as INTERFACE targets
# that each target links (PRIVATE) instead of variables it must remember:
#   quarnel_warnings   -Wall -Wextra, and -Werror with QUARNEL_WERROR=ON
#   quarnel_hardening  stack protection; on Windows also address-space
#                      randomisation (high-entropy on 64-bit), the large
#                      address space on 32-bit, no-execute
#                      data and the runtime linked statically, so the
#                      program imports system DLLs only
# A static library that links quarnel_hardening passes its link options on
# to every program that links the library (CMake keeps a private link
# dependency's link options), so test programs get the static runtime and
# the stack protector's support library without being compiled with it.
include_guard(GLOBAL)

option(QUARNEL_WERROR "Treat compiler warnings as errors" OFF)

add_library(quarnel_warnings INTERFACE)
target_compile_options(quarnel_warnings INTERFACE -Wall -Wextra $<$<BOOL:${QUARNEL_WERROR}>:-Werror>)

add_library(quarnel_hardening INTERFACE)
target_compile_options(quarnel_hardening INTERFACE -fstack-protector-strong)
target_link_options(quarnel_hardening INTERFACE -fstack-protector-strong)
if(WIN32)
  target_link_options(quarnel_hardening INTERFACE
    -static -static-libgcc -static-libstdc++ -Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_link_options(quarnel_hardening INTERFACE -Wl,--high-entropy-va)
  else()
    # All 4 GB of address space under 64-bit Windows, so that an item near
    # 2 GB fits in one block.  Safe: no pointer is turned into a signed
    # number, sizes and offsets are unsigned or 64-bit, and no block is
    # larger than 2^31 - 1 bytes, so a difference inside one stays positive.
    target_link_options(quarnel_hardening INTERFACE -Wl,--large-address-aware)
  endif()
endif()
