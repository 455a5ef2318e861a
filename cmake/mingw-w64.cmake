# Cross-compiling for 64-bit Windows with Debian's mingw-w64 compiler (posix
# thread model, for std::thread and std::mutex). Executables are linked
# statically: they need only the DLLs every Windows system has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TABULON_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TABULON_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TABULON_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${TABULON_MINGW_HOST}-windres)

# The library cache (CMAKE_PREFIX_PATH) is searched as a root of its own.
set(CMAKE_FIND_ROOT_PATH /usr/${TABULON_MINGW_HOST} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# GCC 12 reports a false -Wrestrict inside libstdc++'s std::string
# concatenation at -O2 (a known compiler fault), not in our code.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
