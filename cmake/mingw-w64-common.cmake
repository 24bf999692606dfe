# The -posix compilers: the win32 thread model lacks std::mutex and GoogleTest needs it.
set(CMAKE_C_COMPILER ${KALENDO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALENDO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KALENDO_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KALENDO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static runtime: Wine cannot find libstdc++-6.dll otherwise.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# Test programs run through the Wine loader of their width, which the toolchain file found, by
# way of tools/wine-run.sh: it starts the loader without address-space randomisation and says so
# in the log when a program cannot be started.
if(KALENDO_WINE_LOADER)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh;${KALENDO_WINE_LOADER}")
endif()
