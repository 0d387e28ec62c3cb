# The executable's version block, built from KALVEX_FILE_VERSION and
# KALVEX_PRODUCT_VERSION (top CMakeLists.txt). The fixed file and product version
# numbers both come from KALVEX_FILE_VERSION.
if(NOT KALVEX_FILE_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "KALVEX_FILE_VERSION must read a.b.c.d, not '${KALVEX_FILE_VERSION}'")
endif()
if(NOT KALVEX_PRODUCT_VERSION MATCHES "^[0-9A-Za-z .-]*$")
  message(FATAL_ERROR "KALVEX_PRODUCT_VERSION may hold only letters, digits, blanks, dots and dashes")
endif()
string(REPLACE "." ", " KALVEX_VERSION_FIXED_NUMBERS "${KALVEX_FILE_VERSION}")

set(_kalvex_generated "${PROJECT_BINARY_DIR}/generated")
target_sources(kalvex_core PRIVATE "${PROJECT_SOURCE_DIR}/src/platform/version_info.cpp")
if(WIN32)
  # A VERSIONINFO resource in every program linked with kalvex_core.
  configure_file("${PROJECT_SOURCE_DIR}/cmake/kalvex_version.rc.in"
                 "${_kalvex_generated}/kalvex_version.rc" @ONLY)
  target_sources(kalvex_core PRIVATE "${PROJECT_SOURCE_DIR}/src/platform/version_info_win.cpp"
                 INTERFACE "${_kalvex_generated}/kalvex_version.rc")
  target_link_libraries(kalvex_core PUBLIC version)
else()
  # The same bytes in the ELF section .kalvex_version.
  configure_file("${PROJECT_SOURCE_DIR}/cmake/kalvex_version_block.h.in"
                 "${_kalvex_generated}/kalvex_version_block.h" @ONLY)
  target_include_directories(kalvex_core PRIVATE "${_kalvex_generated}")
  target_sources(kalvex_core PRIVATE "${PROJECT_SOURCE_DIR}/src/platform/version_info_posix.cpp")
  # Nothing calls into the block itself: make every program linked with kalvex_core
  # pull it from the archive so that its section is there.
  target_link_options(kalvex_core INTERFACE "LINKER:--require-defined=kalvex_version_block")
endif()
if(TARGET platform_tests)
  target_sources(platform_tests PRIVATE "${PROJECT_SOURCE_DIR}/src/platform/version_info_test.cpp")
  if(NOT WIN32)
    target_sources(platform_tests
                   PRIVATE "${PROJECT_SOURCE_DIR}/src/platform/version_info_posix_test.cpp")
  endif()
endif()
