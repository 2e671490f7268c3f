# The machine-wide MSI, made by wixl (Debian's wixl, of msitools) from the files staged for the
# ZIP, by the same `package` target: CPack's External generator runs MsiPackage.cmake. The
# custom actions it carries (actions/) write the manifests' absolute paths and, on request,
# a first Inkora.ini.

# Stays the same for every version: Windows Installer finds the older version by it.
set(HOST_MSI_UPGRADE_CODE "F28D5D9D-CC3F-4B22-BCEC-D8B3F121E45B")
set(HOST_PATH_PLACEHOLDER "%HOST_PATH%")
set(HOST_ALLOWED_PLACEHOLDER "%ALLOWED%")
foreach(kind chromium firefox)
    string(TOUPPER ${kind} KIND)
    host_manifest(template ${kind} "${HOST_PATH_PLACEHOLDER}" "${HOST_CONFIG_FILE}")
    # The allowed extensions come from the properties at install time.
    string(REGEX REPLACE "(\"allowed_[a-z]+\": \\[)[^]]*\\]" "\\1${HOST_ALLOWED_PLACEHOLDER}]"
           HOST_${KIND}_TEMPLATE "${template}")
endforeach()
# The properties' defaults: the sample extension's ids.
string(JSON HOST_CHROME_EXTENSION_ID GET "${host_config}" chromeExtensionId)
string(JSON HOST_FIREFOX_EXTENSION_ID GET "${host_config}" firefoxExtensionId)
set(actions_dir ${CMAKE_CURRENT_BINARY_DIR}/windows-actions)
configure_file(${CMAKE_CURRENT_LIST_DIR}/actions/ManifestTemplates.h.in
               ${actions_dir}/ManifestTemplates.h @ONLY)

add_library(installer_actions MODULE ${CMAKE_CURRENT_LIST_DIR}/actions/InstallerActions.cpp
                                     ${CMAKE_CURRENT_LIST_DIR}/actions/InstallerTexts.cpp)
target_include_directories(installer_actions PRIVATE ${actions_dir})
target_link_libraries(installer_actions PRIVATE msi)
# Exports by their plain names (Windows Installer looks them up so), the runtime linked in.
target_link_options(installer_actions PRIVATE -Wl,--kill-at -static -static-libgcc
                                              -static-libstdc++ -s)
set_target_properties(installer_actions PROPERTIES PREFIX "" OUTPUT_NAME InstallerActions
                      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# wixl and msibuild are looked for each time the package target runs (MsiPackage.cmake), so that
# installing them later needs no new configuration; without them the target makes the ZIP alone
# and says so.
set(HOST_HELP_LINK "https://lumarq.example/orvanesign/support" CACHE STRING
    "Support page that the installed programs entry names")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/MsiPackage.cmake)
set(CPACK_HOST_MSI_WXS ${CMAKE_CURRENT_LIST_DIR}/host.wxs)
set(CPACK_HOST_MSI_ACTIONS ${CMAKE_BINARY_DIR}/bin/InstallerActions.dll)
set(CPACK_HOST_MSI_UPGRADE_CODE ${HOST_MSI_UPGRADE_CODE})
set(CPACK_HOST_MSI_PRODUCT "${HOST_PRODUCT}")
set(CPACK_HOST_MSI_HOST_NAME "${HOST_NAME}")
set(CPACK_HOST_MSI_CHROME_IDS "${HOST_CHROME_EXTENSION_ID}")
set(CPACK_HOST_MSI_FIREFOX_IDS "${HOST_FIREFOX_EXTENSION_ID}")
set(CPACK_HOST_MSI_HELP_LINK "${HOST_HELP_LINK}")
set(CPACK_HOST_MSI_SIGN ${PROJECT_SOURCE_DIR}/scripts/sign-windows.sh)
