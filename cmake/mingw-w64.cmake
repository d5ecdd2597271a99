# What the two MinGW-w64 cross builds share; each toolchain file sets TIDEWIPE_MINGW (the
# compiler's target triple) and TIDEWIPE_WINE_ARCH (the Wine prefix its tests run in) first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: the win32 one lacks std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${TIDEWIPE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TIDEWIPE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TIDEWIPE_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TIDEWIPE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# ctest runs the cross-built tests under Wine, in the test prefix of this build.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec
                                  ${TIDEWIPE_WINE_ARCH})
