# cmake --install: the programs in bin, the defaults every user's directory
# is made from in share/korprog (the program looks for them at
# <its directory>/../share/korprog), and the menu entry and icons where the
# desktop looks for them.
install(TARGETS korprog korvansim RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION share/korprog
        PATTERN icons EXCLUDE
        PATTERN applications EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/icons/ DESTINATION share/icons)
install(FILES ${PROJECT_SOURCE_DIR}/data/applications/korprog.desktop DESTINATION share/applications)
install(FILES ${PROJECT_BINARY_DIR}/completion/korprog DESTINATION share/bash-completion/completions)

# The start-up tests install this build into a temporary prefix and run it
# from there. Test targets exist only once the whole tree is read.
function(korprog_install_test_definitions)
  if(TARGET test_main)
    target_compile_definitions(test_main PRIVATE KORPROG_CMAKE="${CMAKE_COMMAND}"
                                                 KORPROG_BUILD_DIR="${PROJECT_BINARY_DIR}")
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL korprog_install_test_definitions)

# Manual pages and the Debian changelog, compressed as Debian keeps them
# (gzip -n: no time stamp, so the same sources give the same bytes).
set(KORPROG_DEB_MAINTAINER "KorProg developers <korprog@example.com>" CACHE STRING
    "Maintainer of the Debian package, as Name <address>")
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/doc/changelog @ONLY)
set(korprog_docs)
foreach(page korprog.1 korvansim.1)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/${page}.gz
                     COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/doc/man/${page} ${page}
                     COMMAND gzip -9nf ${page}
                     WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/doc
                     DEPENDS ${PROJECT_SOURCE_DIR}/doc/man/${page})
  list(APPEND korprog_docs ${PROJECT_BINARY_DIR}/doc/${page}.gz)
endforeach()
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/doc/changelog.gz
                   COMMAND gzip -9nkf changelog
                   WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/doc
                   DEPENDS ${PROJECT_BINARY_DIR}/doc/changelog)
add_custom_target(docs ALL DEPENDS ${korprog_docs} ${PROJECT_BINARY_DIR}/doc/changelog.gz)
install(FILES ${korprog_docs} DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/doc/changelog.gz
        DESTINATION share/doc/korprog)
install(FILES ${PROJECT_SOURCE_DIR}/doc/examples/99-korprog-modemmanager.rules
        DESTINATION share/doc/korprog/examples)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides DESTINATION share/lintian/overrides
        RENAME korprog)

# The Debian package (tools/package.sh): korprog_VERSION_amd64.deb of what
# `cmake --install` puts into /usr. Its Depends come from the libraries the
# programs are linked with (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korprog)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program Korvan alarm units over a serial port")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "KorProg is the service engineer's tool for Korvan remote alarm and
messaging units: it identifies and watches a unit connected to a serial
port, fetches, edits and programs its settings, keeps them as .adn files,
and upgrades its firmware from revision packs.
.
Besides its window it runs unattended for scripts and production lines,
with exit codes, JSON events and a record per unit, on many ports at once.
'korprog -doctor' finds what stands between a user and a working port.
.
The package also holds korvansim, a simulated unit on a pseudo-terminal
for training and tests.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# "Edit restrictions" opens the file in the desktop's editor through xdg-open.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORPROG_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
