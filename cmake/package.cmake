# The Debian package: cpack -G DEB in the build folder.
set(CPACK_PACKAGE_NAME zint9-configurator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Trelm)
set(CPACK_PACKAGE_CONTACT "Trelm <noreply@trelm.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configurator for ZINT-9 temperature transmitters")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins at run time, so no linked library names them; the protocol is
# set in DejaVu Sans.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite, fonts-dejavu-core")
# Qt's own texts (context menus, message-box buttons) in Russian; English without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, libqt6sql6-psql")
# CPack puts the summary first and indents each further line by one space.
string(JOIN "\n" CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop wizard with which a service engineer configures a ZINT-9"
    "normalizing temperature transmitter over a serial port: it reads the"
    "device's versions and EEPROM image, shows and checks the sensor type,"
    "conversion limits, failure output, cold-junction compensation, filters"
    "and DAC calibration, and writes the image back. Started with /demo it"
    "works on a demonstration image without hardware."
    "."
    "The package also holds zint9, the same operations on the command line,"
    "and zint9-sim, a simulated transmitter on a pseudo-terminal."
    "."
    "A serial port belongs to the group dialout: add the user to it with"
    "'sudo usermod -aG dialout USER' and log in again.")
include(CPack)
