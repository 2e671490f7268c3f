# The Linux installation: the host and the tools in PREFIX/bin, the host manifests in
# each browser's system folder naming the installed host, the udev rule for HID pads, and the
# per-user installer with native-host.json in PREFIX/share/<package>. The tools take the
# package's prefix there (lumarq-padsim, lumarq-nmclient), leaving their short names to others.
include(GNUInstallDirs)

set(HOST_UDEV_RULES_DIR /usr/lib/udev/rules.d CACHE PATH "Where udev reads packaged rules")
set(HOST_CHROMIUM_MANIFEST_DIRS
    /etc/opt/chrome/native-messaging-hosts
    /etc/chromium/native-messaging-hosts
    /etc/opt/edge/native-messaging-hosts)
set(HOST_FIREFOX_MANIFEST_DIRS /usr/lib/mozilla/native-messaging-hosts)

install(TARGETS Lumarq.OrvaneSignExtension RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(HOST_TOOL_PREFIX lumarq-)
set(installed_programs ${HOST_EXECUTABLE})
foreach(tool padsim nmclient)
    install(PROGRAMS $<TARGET_FILE:${tool}> DESTINATION ${CMAKE_INSTALL_BINDIR}
            RENAME ${HOST_TOOL_PREFIX}${tool})
    list(APPEND installed_programs ${HOST_TOOL_PREFIX}${tool})
endforeach()
# A stripped installation (the packages) strips every program as distributions do: the symbols,
# and the compiler's .comment and .note sections.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        foreach(program IN ITEMS ${installed_programs})
            execute_process(COMMAND [[${CMAKE_STRIP}]] --remove-section=.comment
                --remove-section=.note \"\${bindir}/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
        endforeach()
    endif()
")
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

# The manifests in /etc, configuration files in both packages.
set(HOST_ETC_MANIFESTS "")
foreach(dir IN LISTS HOST_CHROMIUM_MANIFEST_DIRS HOST_FIREFOX_MANIFEST_DIRS)
    if(dir MATCHES "^/etc/")
        list(APPEND HOST_ETC_MANIFESTS ${dir}/${HOST_NAME}.json)
    endif()
endforeach()

