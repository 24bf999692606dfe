# Cross build of the Windows program with MinGW-w64 (64-bit), run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KALENDO_MINGW_PREFIX x86_64-w64-mingw32)
# Always the 64-bit loader itself: once wine32:i386 is installed, `wine` picks the 32-bit one.
find_program(KALENDO_WINE_LOADER NAMES wine64 HINTS /usr/lib/wine /usr/bin)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
