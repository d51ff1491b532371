# The Debian package (scripts/package): everything `cmake --install` puts
# under prefix /usr. Library dependencies come from dpkg-shlibdeps; the
# programs the fax printer and the desktop call are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvinaport)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Corvinaport maintainers <maintainers@corvinaport.invalid>")
# The synopsis must not start with the package's name; the long text's lines
# stay within 80 columns.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "internet fax wizard: send documents as faxes from the desktop")
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The Send a Fax wizard sends documents as faxes over the Internet through"
    "the Corvinaport service. Recipients are typed as fax numbers or e-mail"
    "addresses or picked from the address book; the document is a file"
    "attached or one printed to the fax printer zephrim; a cover sheet"
    "can go in front."
    ""
    "Faxes kept for later wait in the outbox, are tried again by a watcher"
    "that starts with the desktop session, and are shown with the sent ones"
    "in the Outbox window. A Contacts window keeps the address book.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The package is built from this tree, with no separate upstream release, so
# it is a native one: version = the project's, changelog = changelog.gz.
# The top entry of res/debian/changelog must name that version.
file(STRINGS ${CMAKE_SOURCE_DIR}/res/debian/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^corvinaport \\(([^)]+)\\)")
    message(FATAL_ERROR "res/debian/changelog: no version in its first line: ${changelog_top}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "res/debian/changelog is at ${CMAKE_MATCH_1}, the project at ${PROJECT_VERSION}")
endif()
# The autostart entry under /etc is the administrator's to change.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/res/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fax printer renders with Ghostscript under CUPS; links and help open
# through xdg-open; the cover and pages use the Arial-compatible faces; the
# page viewer reads TIFF pages through Qt's image-format plugins. libcurl,
# libcups, libsecret and libtiff are loaded when first needed, so no link
# names them. Qt PDF is loaded the same way, through the installed plug-in
# libpreview_pdf.so, whose own link gives dpkg-shlibdeps libqt6pdf6.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libcurl4 (>= 7.85), libcups2, libsecret-1-0, libtiff6 (>= 4.5), cups-client, cups-filters, ghostscript, xdg-utils, fonts-liberation2, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups, qt6-translations-l10n, desktop-file-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
