# `make package`: a Debian package of what `cmake --install` puts in place,
# built by CPack. Its dependencies are the packages of the shared libraries
# the program links, as dpkg-shlibdeps finds them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME snaprill)
set(CPACK_PACKAGE_VENDOR Brenwick)
set(CPACK_PACKAGE_CONTACT "Brenwick <snaprill@brenwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pictures and files of Motorola P2K phones over USB")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Snaprill lists, downloads, uploads and deletes the pictures and other files\n"
    "stored on Motorola phones of the P2K platform attached by USB. A phone in\n"
    "modem mode is switched into P2K mode by itself. snaprill-cli does the same\n"
    "from a terminal or a script, for backups. The package's udev rules\n"
    "give the user at the seat access to the phone and keep ModemManager off\n"
    "its modem port.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://snaprill.brenwick.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own dialogs in the desktop's language; without it they stay English.
# fusermount3, with which a user mounts the phone as a folder and unmounts it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fuse3")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/resources/debian/postinst ${PROJECT_SOURCE_DIR}/resources/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
