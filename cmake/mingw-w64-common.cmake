# The -posix compilers: the win32 thread model lacks std::mutex and GoogleTest needs it.
set(CMAKE_C_COMPILER ${KALENDO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALENDO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KALENDO_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KALENDO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No GoogleTest is installed for the target, so the tests build it from source with the cross
# compiler: Debian's googletest package puts the tree here; elsewhere set it with
# -DKALENDO_GTEST_SOURCE=PATH.
set(KALENDO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree for the cross build")
# Static runtime: Wine cannot find libstdc++-6.dll otherwise.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# Test programs run through the Wine loader of their width, which the toolchain file found, by
# way of tools/wine-run.sh: it starts the loader without address-space randomisation and says so
# in the log when a program cannot be started.
if(KALENDO_WINE_LOADER)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh;${KALENDO_WINE_LOADER}")
endif()
