# CMake toolchain for a Windows x86-64 build with Debian's MinGW-w64 compilers (posix
# thread model), against the static libraries scripts/windows-libraries puts in one
# prefix. Give the prefix as -DKALVEX_MINGW_PREFIX=<dir> or in the environment variable
# of the same name. Programs are linked fully static (no MinGW DLL to ship) and run
# under Wine for ctest (CMAKE_CROSSCOMPILING_EMULATOR), with Wine's own folder under
# the cache folder (KALVEX_WINEPREFIX overrides it) and its debug output off.
#
# pkg-config reads only the prefix's .pc files, with --static. Those files are mended
# by scripts/windows-libraries: they carry the static defines the libraries' own files
# miss (U_STATIC_IMPLEMENTATION, LIBXML_STATIC, LIBXSLT_STATIC, LIBEXSLT_STATIC,
# CURL_STATICLIB) and ICU's real library names, so nothing is added here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KALVEX_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KALVEX_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KALVEX_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${KALVEX_MINGW_HOST}-windres)

# The prefix: cache variable first, then the environment; kept in the environment so
# that the try_compile projects, which read this file again, see it too.
if(NOT KALVEX_MINGW_PREFIX AND DEFINED ENV{KALVEX_MINGW_PREFIX})
  set(KALVEX_MINGW_PREFIX "$ENV{KALVEX_MINGW_PREFIX}")
endif()
if(NOT KALVEX_MINGW_PREFIX)
  message(FATAL_ERROR "KALVEX_MINGW_PREFIX is not set (see scripts/windows-libraries)")
endif()
set(KALVEX_MINGW_PREFIX "${KALVEX_MINGW_PREFIX}" CACHE PATH "Static MinGW libraries")
set(ENV{KALVEX_MINGW_PREFIX} "${KALVEX_MINGW_PREFIX}")

# Libraries, headers and CMake packages from the prefix only; programs (pkg-config,
# Python) from this machine. MinGW's own libraries are left to the linker: found by
# CMake they would be the DLL import libraries (libpthread.dll.a), which -static
# cannot mix with the static ones.
set(CMAKE_FIND_ROOT_PATH "${KALVEX_MINGW_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static executables.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# pkg-config: the prefix's files, static flags.
set(ENV{PKG_CONFIG_LIBDIR} "${KALVEX_MINGW_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
set(PKG_CONFIG_ARGN --static)

# Wine runs the test programs.
if(DEFINED ENV{KALVEX_WINEPREFIX})
  set(KALVEX_WINEPREFIX "$ENV{KALVEX_WINEPREFIX}")
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(KALVEX_WINEPREFIX "$ENV{XDG_CACHE_HOME}/kalvex/wine")
else()
  set(KALVEX_WINEPREFIX "$ENV{HOME}/.cache/kalvex/wine")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEDEBUG=-all WINEPREFIX=${KALVEX_WINEPREFIX} /usr/lib/wine/wine64)
