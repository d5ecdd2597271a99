# Cross build of the 64-bit Windows program with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TIDEWIPE_MINGW x86_64-w64-mingw32)
set(TIDEWIPE_WINE_ARCH win64)

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
