# The Debian package (scripts/package): everything `cmake --install` puts
# under prefix /usr. Library dependencies come from dpkg-shlibdeps; the
# programs the fax printer and the desktop call are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvinaport)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_CONTACT "Corvinaport maintainers <maintainers@corvinaport.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Corvinaport internet fax: the Send a Fax wizard")
set(CPACK_PACKAGE_DESCRIPTION
    "Sends documents as faxes over the Internet: recipients by number, e-mail address or from the address book, a file attached or a document printed to the fax printer zephrim, a cover sheet, and an outbox for faxes sent later.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The fax printer renders with Ghostscript under CUPS; links and help open
# through xdg-open; the cover and pages use the Arial-compatible faces; the
# page viewer reads TIFF pages through Qt's image-format plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "cups-client, cups-filters, ghostscript, xdg-utils, fonts-liberation2, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups, qt6-translations-l10n, desktop-file-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
