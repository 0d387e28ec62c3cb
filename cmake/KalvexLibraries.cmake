# The C libraries the tool is built on, found through pkg-config: the system's on Linux,
# the static MinGW prefix's in a Windows cross build (see cmake/mingw-w64.cmake).
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBXML2 REQUIRED IMPORTED_TARGET libxml-2.0)
pkg_check_modules(LIBXSLT REQUIRED IMPORTED_TARGET libxslt libexslt)
pkg_check_modules(LIBCURL REQUIRED IMPORTED_TARGET libcurl)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)
