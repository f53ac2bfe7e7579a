# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix):
# the posix thread model, so std::thread and std::mutex work as they do on Linux.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QTM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QTM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QTM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QTM_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QTM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The tests run the programs under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
