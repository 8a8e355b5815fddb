# `make package`: a Debian package of the program, built by CPack from the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hourlink)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Pellandra Ossilo")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "connection-time meter with a tray icon and a seven-day chart")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

# hourlink_<version>_<arch>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Pellandra Ossilo <hourlink@pellandra.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Hourlink measures how long this computer is connected to the internet, day
by day, and shows the last seven days as a bar chart with a running average.
It lives in the notification area and warns when the average goes beyond the
daily limit of an access provider's acceptable-use policy.")
# The libraries the program links come from dpkg-shlibdeps; what it opens at run time is named here: Qt's
# X11 platform plugin, the fonts it asks for and xdg-open for the read-me.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation, xdg-utils")
# On a Wayland session without XWayland the launcher runs the program natively, which needs Qt's Wayland
# platform plugin; with XWayland it runs through X, where minimising to the tray works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
