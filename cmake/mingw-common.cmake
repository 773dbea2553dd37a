# What both Windows toolchains share; QUARNEL_TRIPLE names the target.
# The posix thread model gives the C++ runtime std::mutex, which GoogleTest
# needs; everything links statically, so no threading DLL is imported.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${QUARNEL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARNEL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARNEL_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUARNEL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
