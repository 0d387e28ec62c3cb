# Installation under one prefix (default /opt/kalvex) and the Debian package.
#
#   bin/kalvex                        the program; it reads Kalvex.ini beside itself
#   share/doc/kalvex/                 README.md, Kalvex.ini.example (made from the key
#                                     table), kalvex@.service, kalvex@.timer, kalvex.cron
#   share/man/man1/kalvex.1           the manual page
#
# The package is named after the build: "kalvex" with the status window (it needs the
# Qt libraries) or "kalvex-console" without it (-DKALVEX_WITH_QT=OFF), for servers that
# have no display; both hold the same files, so each conflicts with the other.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX /opt/kalvex CACHE PATH "Installation prefix" FORCE)
endif()
set(KALVEX_DOC_DIR share/doc/kalvex)

configure_file(${PROJECT_SOURCE_DIR}/packaging/kalvex@.service.in
               ${PROJECT_BINARY_DIR}/packaging/kalvex@.service @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/docs/kalvex.1.in ${PROJECT_BINARY_DIR}/kalvex.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/kalvex.cron.in
               ${PROJECT_BINARY_DIR}/packaging/kalvex.cron @ONLY)

install(TARGETS kalvex RUNTIME DESTINATION bin)
install(FILES ${PROJECT_BINARY_DIR}/kalvex.1 DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md
              ${PROJECT_BINARY_DIR}/Kalvex.ini.example
              ${PROJECT_BINARY_DIR}/packaging/kalvex@.service
              ${PROJECT_SOURCE_DIR}/packaging/kalvex@.timer
              ${PROJECT_BINARY_DIR}/packaging/kalvex.cron
        DESTINATION ${KALVEX_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/window.png DESTINATION ${KALVEX_DOC_DIR}/docs)

if(KALVEX_WITH_QT)
  set(CPACK_PACKAGE_NAME kalvex)
  set(CPACK_DEBIAN_PACKAGE_CONFLICTS kalvex-console)
else()
  set(CPACK_PACKAGE_NAME kalvex-console)
  set(CPACK_DEBIAN_PACKAGE_CONFLICTS kalvex)
endif()
set(CPACK_DEBIAN_PACKAGE_REPLACES ${CPACK_DEBIAN_PACKAGE_CONFLICTS})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_VERSION ${KALVEX_FILE_VERSION})
set(CPACK_PACKAGE_VENDOR Kalvex)
set(CPACK_PACKAGE_CONTACT "Kalvex <kalvex@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Publication du stock de véhicules d'occasion sur les portails d'annonces")
set(CPACK_PACKAGE_DESCRIPTION
    "Exporte le stock du concessionnaire vers ParuVendu, AutoScout24, SitAutoPro, TopAnnonces, LeBonCoin ou InfoPress, envoie les photos au serveur d'images et le fichier du portail au dépôt FTP.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  set(CPACK_STRIP_FILES ON)  # keeps the version block: it is a section of the program
endif()
# The dependencies are those of the libraries the executable links, as dpkg-shlibdeps
# finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
