# The DEB: everything the Linux installation puts in place below /usr and in /etc, with the
# manifests in /etc as configuration files.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The description, the RPM's too (lines within 72 characters, as both formats like them).
set(CPACK_PACKAGE_DESCRIPTION
    "Connects an electronic signature pad (serial, USB HID, legacy USB pipe,
TCP) to the browser extension of an e-signature service through native
messaging. Includes the host manifests for Chrome, Chromium, Edge and
Firefox, a udev rule giving the person at the seat access to USB HID pads,
and two tools for trying the host without a browser or a pad:
lumarq-padsim (a simulated pad) and lumarq-nmclient (a stand-in for the
browser).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${HOST_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# install-host.sh registers the host per user, for other extension ids; it needs python3.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS python3)
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_PROGRAM)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

# The manifests in /etc are configuration: kept on removal, taken away by purge.
list(JOIN HOST_ETC_MANIFESTS "\n" conffiles)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/deb/conffiles "${conffiles}\n")
configure_file(${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_BINARY_DIR}/deb/postinst COPYONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_BINARY_DIR}/deb/conffiles ${CMAKE_CURRENT_BINARY_DIR}/deb/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
