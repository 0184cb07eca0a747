# --- install and package ---------------------------------------------------------
# cmake --install build [--prefix /usr/local]: the programs, the font aliases
# (found at ../share/kalvenor/ from the binary), the manual page and the
# example host configuration. cpack -G DEB (in the build folder): the Debian
# package kalvenor_<version>_<arch>.deb, installed under /usr.
# The desktop barcode window goes into a package of its own,
# kalvenor-barcodes, so that a print server does not pull in GTK.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME main)
install(TARGETS kalvenor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS kalvenor_net LIBRARY DESTINATION lib/kalvenor)
set(CPACK_COMPONENTS_ALL main)
if(TARGET kalvenor-barcodes)
  install(TARGETS kalvenor-barcodes RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT barcodes)
  list(APPEND CPACK_COMPONENTS_ALL barcodes)
endif()
install(FILES fonts/kalvenor-fonts.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvenor)
install(FILES man/kalvenor.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES
  examples/C0001234.TXT examples/ETIQUE01.TXT examples/KALVENOR.INI
  examples/COMANRNG.ZOV examples/R-001234.csv packaging/kalvenor.env
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(PROGRAMS scripts/cups-test-queue.sh DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# Jobs must not scan the fonts, so the cache is refreshed after a real install.
# Staged installs (DESTDIR, the package build) skip it: the package does it in
# its postinst. A machine without fc-cache, or a user who may not write the
# system cache, only gets a message.
install(CODE [[
  if("$ENV{DESTDIR}" STREQUAL "" AND NOT CMAKE_INSTALL_PREFIX MATCHES "/_CPack_Packages/")
    find_program(KALVENOR_FC_CACHE fc-cache)
    if(KALVENOR_FC_CACHE)
      message(STATUS "Refreshing the fontconfig cache")
      execute_process(COMMAND ${KALVENOR_FC_CACHE} -s RESULT_VARIABLE fc_status
                      OUTPUT_QUIET ERROR_QUIET)
      if(NOT fc_status EQUAL 0)
        message(STATUS "fc-cache -s failed (${fc_status}); run it as root")
      endif()
    else()
      message(STATUS "fc-cache not found: install fontconfig and run fc-cache -s")
    endif()
  endif()
]])

set(KALVENOR_PACKAGE_MAINTAINER "Kalvenor maintainers <kalvenor@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvenor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KALVENOR_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print driver of a pharmacy sales counter")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[
Prints the receipt slips and label files that the sales system writes
(code page 437 text) on the CUPS queue whose name contains COMANDERA,
typically an 80 mm thermal receipt printer: header, items, totals, the
fiscal authorisation line, EAN and Code 128 barcodes and the fiscal QR
code. Every run leaves a two-line log that tells the sales system whether
the job finished.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries from the binaries (dpkg-shlibdeps); the fonts the aliases name and
# fc-cache are not linked, so they are listed by hand. Printing on a local
# queue needs the CUPS server and lpadmin; a remote server does not.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fontconfig")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups, cups-client")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "printer-driver-cups-pdf, man-db")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_MAIN_PACKAGE_NAME kalvenor)
set(CPACK_DEBIAN_BARCODES_PACKAGE_NAME kalvenor-barcodes)
set(CPACK_DEBIAN_BARCODES_PACKAGE_DEPENDS "kalvenor (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_BARCODES_PACKAGE_RECOMMENDS "xclip | wl-clipboard")
set(CPACK_DEBIAN_BARCODES_PACKAGE_SECTION x11)
set(CPACK_COMPONENT_BARCODES_DESCRIPTION "desktop window of the Kalvenor barcode form (Code 39, copy and print)")
set(CPACK_DEBIAN_MAIN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
