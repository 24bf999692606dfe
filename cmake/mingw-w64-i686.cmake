# Cross build of the Windows program with MinGW-w64 (32-bit), run under Wine's 32-bit loader
# (package wine32:i386) in the same win64 prefix as the 64-bit build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KALENDO_MINGW_PREFIX i686-w64-mingw32)
# /usr/lib/wine/wine is the 32-bit loader itself; /usr/bin/wine is a script that picks it.
find_program(KALENDO_WINE_LOADER NAMES wine HINTS /usr/lib/wine /usr/bin)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
