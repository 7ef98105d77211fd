# The Debian package: `cpack -G DEB` in the build folder. Its dependencies
# on Debian's Qt packages are worked out by dpkg-shlibdeps from what the
# binaries link; the two stand-in platform libraries travel as private
# libraries of the package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vrelview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The vrelview developers")
set(CPACK_PACKAGE_CONTACT "The vrelview developers <maintainers@users.noreply.c-seed-e8dee9a5.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for binary security audit logs")
set(CPACK_PACKAGE_DESCRIPTION "Vrel View Audit opens the binary audit logs (*.mlog) that the security
subsystem writes and shows their records as lines of text. Filters narrow
them by time range, success or refusal, source kinds, events, groups, users,
free patterns and paths; named filters are kept; results can be searched
and saved. It stays quick on logs of gigabytes.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qttranslations5-l10n, breeze-icon-theme | adwaita-icon-theme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
