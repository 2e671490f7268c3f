# The Linux installation and its DEB: the host and the tools in PREFIX/bin, the host manifests in
# each browser's system folder naming the installed host, the udev rule for HID pads, and the
# per-user installer with native-host.json in PREFIX/share/<package>.
include(GNUInstallDirs)

set(HOST_UDEV_RULES_DIR /usr/lib/udev/rules.d CACHE PATH "Where udev reads packaged rules")
set(HOST_CHROMIUM_MANIFEST_DIRS
    /etc/opt/chrome/native-messaging-hosts
    /etc/chromium/native-messaging-hosts
    /etc/opt/edge/native-messaging-hosts)
set(HOST_FIREFOX_MANIFEST_DIRS /usr/lib/mozilla/native-messaging-hosts)

install(TARGETS Lumarq.OrvaneSignExtension padsim nmclient
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${HOST_CONFIG_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/${CPACK_PACKAGE_NAME})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/install-host.sh
        DESTINATION ${CMAKE_INSTALL_DATADIR}/${CPACK_PACKAGE_NAME})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/70-lumarq-signpad.rules DESTINATION ${HOST_UDEV_RULES_DIR})

# The manifests name the host where this installation puts it, known only when installing.
install(CODE "
    set(HOST_CONFIG_FILE [[${HOST_CONFIG_FILE}]])
    set(HOST_MANIFEST_MODULE [[${CMAKE_CURRENT_LIST_DIR}/../HostManifest.cmake]])
    set(HOST_MANIFEST_STAGE [[${CMAKE_CURRENT_BINARY_DIR}/manifests]])
    set(HOST_INSTALLED_PATH \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${HOST_EXECUTABLE}\")
    set(HOST_CHROMIUM_MANIFEST_DIRS [[${HOST_CHROMIUM_MANIFEST_DIRS}]])
    set(HOST_FIREFOX_MANIFEST_DIRS [[${HOST_FIREFOX_MANIFEST_DIRS}]])
")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallManifests.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Connects an electronic signature pad (serial, USB HID, legacy USB pipe, TCP) to the
browser extension of an e-signature service through native messaging. Includes the host
manifests for Chrome, Chromium, Edge and Firefox, a udev rule giving the person at the seat
access to USB HID pads, and two tools for trying the host without a browser or a pad:
padsim (a simulated pad) and nmclient (a stand-in for the browser).")
# install-host.sh registers the host per user, for other extension ids; it needs python3.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS python3)
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_PROGRAM)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

# The manifests in /etc are configuration: kept on removal, taken away by purge.
set(conffiles "")
foreach(dir IN LISTS HOST_CHROMIUM_MANIFEST_DIRS)
    if(dir MATCHES "^/etc/")
        string(APPEND conffiles "${dir}/${HOST_NAME}.json\n")
    endif()
endforeach()
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/deb/conffiles "${conffiles}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_BINARY_DIR}/deb/postinst COPYONLY)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_BINARY_DIR}/deb/conffiles ${CMAKE_CURRENT_BINARY_DIR}/deb/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
