# 32-bit cross build: compiled to prove the code is right for 32-bit pointers; there is no
# 32-bit Wine on the build machines, so nothing of it is run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KALENDO_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
