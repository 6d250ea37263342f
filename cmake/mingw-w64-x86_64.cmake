# Cross-building the Windows programs on Debian with MinGW-w64 (x86_64).
# The POSIX thread model compilers: the audio device thread and the tests use
# std::thread and std::mutex, which the Win32 model's libstdc++ lacks.
# Libraries built for the target (scripts/build-windows.sh) are found through
# CMAKE_PREFIX_PATH and PKG_CONFIG_LIBDIR.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
# LUMEN_WINDOWS_LIBS: where scripts/build-windows.sh installed the target's
# libraries (libmpg123, liblzma, GoogleTest).
if(LUMEN_WINDOWS_LIBS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${LUMEN_WINDOWS_LIBS})
  set(ENV{PKG_CONFIG_LIBDIR} ${LUMEN_WINDOWS_LIBS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes linked into every program: an .exe needs nothing
# beyond the DLLs that every Windows has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs (ctest, and gtest's discovery at build time) run under Wine,
# in a Wine prefix of the build's own, without Wine's diagnostics.
set(LUMEN_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${LUMEN_WINE_PREFIX} WINEDEBUG=-all wine)
