# Cross build of the 32-bit Windows program with MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TIDEWIPE_MINGW i686-w64-mingw32)
set(TIDEWIPE_WINE_ARCH win32)

# SSE2 lets the compiler run the random generator's lanes in vector registers; every CPU that
# current Windows runs on has it.
set(CMAKE_C_FLAGS_INIT "-msse2")
set(CMAKE_CXX_FLAGS_INIT "-msse2")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
