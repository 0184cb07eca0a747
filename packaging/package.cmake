# --- install and package ---------------------------------------------------------
# cmake --install build [--prefix /usr/local]: the programs, the font aliases
# (found at ../share/kalvenor/ from the binary), the manual page and the
# example host configuration. cpack -G DEB (in the build folder): the Debian
# package kalvenor_<version>_<arch>.deb, installed under /usr.
# The desktop barcode window goes into a package of its own,
# kalvenor-barcodes, so that a print server does not pull in GTK.
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME main)
set(KALVENOR_PACKAGE_MAINTAINER "Kalvenor maintainers <kalvenor@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

# The one version number: the project's. The program prints it for
# "kalvenor --version"; the packages and their changelog carry it.
target_compile_definitions(kalvenor PRIVATE KALVENOR_VERSION="${PROJECT_VERSION}")

# Files made at build time: the manual pages compressed and the changelog of
# this version (gzip -9n: no name or time in the header, so the packages of
# one commit are the same bytes). The changelog is dated with the last commit
# (or SOURCE_DATE_EPOCH), not the build.
set(KALVENOR_PACKAGE_FILES ${CMAKE_CURRENT_BINARY_DIR}/package-files)
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                  OUTPUT_VARIABLE KALVENOR_COMMIT_TIME OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(KALVENOR_COMMIT_TIME)
    set(ENV{SOURCE_DATE_EPOCH} ${KALVENOR_COMMIT_TIME})
  endif()
endif()
string(TIMESTAMP KALVENOR_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/changelog.in ${KALVENOR_PACKAGE_FILES}/changelog @ONLY)
set(KALVENOR_GZIPPED)
foreach(source ${KALVENOR_PACKAGE_FILES}/changelog ${CMAKE_CURRENT_SOURCE_DIR}/man/kalvenor.1
               ${CMAKE_CURRENT_SOURCE_DIR}/man/kalvenor-escpos-preview.1
               ${CMAKE_CURRENT_SOURCE_DIR}/man/kalvenor-setup.8
               ${CMAKE_CURRENT_SOURCE_DIR}/man/kalvenor-barcodes.1)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${KALVENOR_PACKAGE_FILES}/${name}.gz
    COMMAND gzip -9n -c ${source} > ${KALVENOR_PACKAGE_FILES}/${name}.gz
    DEPENDS ${source} VERBATIM)
  list(APPEND KALVENOR_GZIPPED ${KALVENOR_PACKAGE_FILES}/${name}.gz)
endforeach()
add_custom_target(kalvenor_package_files ALL DEPENDS ${KALVENOR_GZIPPED})

install(TARGETS kalvenor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# CUPS finds back ends by file name; mode 0755 makes it run this one as lp, not root.
# Installed as a target, so that the package strips it like the programs.
install(TARGETS kalvenor-backend RUNTIME DESTINATION lib/cups/backend)
# A module loaded by path (dlopen), not a library of the linker's search path.
install(TARGETS kalvenor_net kalvenor_text LIBRARY DESTINATION lib/kalvenor)
install(FILES fonts/kalvenor-fonts.conf DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvenor)
install(FILES ${KALVENOR_PACKAGE_FILES}/kalvenor.1.gz ${KALVENOR_PACKAGE_FILES}/kalvenor-escpos-preview.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The ESC/POS stream reader (Python, standard library only) as a command: a
# .prn of the folder printer checked and drawn as a picture.
install(PROGRAMS scripts/escpos_page.py DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME kalvenor-escpos-preview)
# The installation guide's folders, files and wrapper in one command.
install(PROGRAMS scripts/kalvenor-setup.sh DESTINATION ${CMAKE_INSTALL_SBINDIR} RENAME kalvenor-setup)
install(FILES ${KALVENOR_PACKAGE_FILES}/kalvenor-setup.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)
install(FILES README.md packaging/copyright ${KALVENOR_PACKAGE_FILES}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvenor)
# The README's pictures, so that its image links work in the installed copy.
install(FILES docs/sample-receipt.png docs/sample-label.png
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvenor/docs)
install(FILES
  examples/C0001234.TXT examples/ETIQUE01.TXT examples/KALVENOR.INI
  examples/COMANRNG.ZOV examples/R-001234.csv packaging/kalvenor.env
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvenor/examples)
install(PROGRAMS scripts/cups-test-queue.sh DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvenor/examples)
# The server settings it reads beside itself.
install(FILES scripts/cupsd-conf.sh DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvenor/examples)
set(CPACK_COMPONENTS_ALL main)
if(TARGET kalvenor-barcodes)
  install(TARGETS kalvenor-barcodes RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT barcodes)
  install(FILES ${KALVENOR_PACKAGE_FILES}/kalvenor-barcodes.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT barcodes)
  install(FILES packaging/copyright ${KALVENOR_PACKAGE_FILES}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvenor-barcodes COMPONENT barcodes)
  list(APPEND CPACK_COMPONENTS_ALL barcodes)
endif()
# No font cache refresh here or in the package: kalvenor-fonts.conf only
# names aliases of installed families and is loaded by the program itself;
# the fonts it points to are in /usr/share/fonts, whose cache the fontconfig
# package's trigger keeps current when a font package is installed.

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
# Libraries from the binaries (dpkg-shlibdeps); the fonts the aliases name,
# fc-cache and the Python of kalvenor-escpos-preview are not linked, so they
# are listed by hand. Printing on a local
# queue needs the CUPS server and lpadmin; a remote server does not.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, fontconfig, python3")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups, cups-client")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "printer-driver-cups-pdf, man-db")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_MAIN_PACKAGE_NAME kalvenor)
set(CPACK_DEBIAN_BARCODES_PACKAGE_NAME kalvenor-barcodes)
set(CPACK_DEBIAN_BARCODES_PACKAGE_DEPENDS "kalvenor (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_BARCODES_PACKAGE_RECOMMENDS "xclip | wl-clipboard")
set(CPACK_DEBIAN_BARCODES_PACKAGE_SECTION x11)
# (CPack puts the one summary line above every package's description.)
set(CPACK_DEBIAN_BARCODES_DESCRIPTION [[
The desktop window of its barcode form, for a counter with a screen: the
Code 39 symbol of the text typed in is drawn as it is typed, with optional
spacing, text under the bars and check character. The picture can be copied
to the clipboard as a PNG or printed on the current printer.]])
set(CPACK_DEBIAN_PACKAGE_SOURCE kalvenor)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack adds an ldconfig call (postinst, postrm) to every package with a
# shared object under /usr/lib/*, and kalvenor-net.so is one. It is a module
# that only the program loads, by path, so the packages leave with no
# maintainer scripts: this step takes the generated ones out again.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/drop-ldconfig.cmake)
include(CPack)
