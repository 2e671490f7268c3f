# Builds the MSI with wixl from the files staged for the ZIP and puts it beside the ZIP; signs it
# when WINDOWS_SIGN_PKCS12 is set (scripts/sign-windows.sh). CPack runs this after the ZIP
# (`cmake --build build-win32 --target package`); by hand, from a folder holding the same files:
#   cmake -DCPACK_CONFIG=build-win32/CPackConfig.cmake -DSTAGE=DIR -DVERSION=X.Y.Z \
#         -DOUTPUT=FILE.msi -P packaging/windows/MsiPackage.cmake
if(CPACK_CONFIG)
    include(${CPACK_CONFIG})
    set(stage ${STAGE})
    set(version ${VERSION})
    set(msi ${OUTPUT})
else()
    set(stage ${CPACK_TEMPORARY_DIRECTORY})
    set(version ${CPACK_PACKAGE_VERSION})
    set(msi ${CPACK_OUTPUT_FILE_PREFIX}/${CPACK_PACKAGE_FILE_NAME}.msi)
endif()

find_program(wixl NAMES wixl)
find_program(msibuild NAMES msibuild)
find_program(msiinfo NAMES msiinfo)
if(NOT wixl OR NOT msibuild OR NOT msiinfo)
    message(WARNING "No MSI made: wixl, msibuild or msiinfo was not found "
                    "(Debian: apt-get install wixl msitools); the ZIP alone was made")
    return()
endif()

# One product code per version: the same version again is the installed product (a repair),
# a newer version another product, which replaces the older one.
# wixl finds the sources only beside the .wxs: a folder of their own.
set(work ${msi}.files)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
foreach(file Lumarq.OrvaneSignExtension.exe Inkora.ini.sample
             ${CPACK_HOST_MSI_HOST_NAME}.chromium.json ${CPACK_HOST_MSI_HOST_NAME}.firefox.json)
    file(COPY ${stage}/${file} DESTINATION ${work})
endforeach()
file(COPY ${CPACK_HOST_MSI_WXS} ${CPACK_HOST_MSI_ACTIONS} DESTINATION ${work})
get_filename_component(wxs ${CPACK_HOST_MSI_WXS} NAME)
get_filename_component(actions ${CPACK_HOST_MSI_ACTIONS} NAME)
set(signing_asked "$ENV{WINDOWS_SIGN_PKCS12}")
if(signing_asked)
    # Embedded in the MSI, the actions' DLL runs as the local system account: signed as well.
    execute_process(COMMAND ${CPACK_HOST_MSI_SIGN} ${work}/${actions} COMMAND_ERROR_IS_FATAL ANY)
endif()

string(UUID product_code NAMESPACE ${CPACK_HOST_MSI_UPGRADE_CODE} NAME "${version}"
       TYPE SHA1 UPPER)
execute_process(
    COMMAND ${wixl} --arch x86 --output ${msi}
            -D Version=${version} -D ProductCode=${product_code}
            -D UpgradeCode=${CPACK_HOST_MSI_UPGRADE_CODE}
            -D "Manufacturer=${CPACK_PACKAGE_VENDOR}" -D "ProductName=${CPACK_HOST_MSI_PRODUCT}"
            -D HostName=${CPACK_HOST_MSI_HOST_NAME} -D ChromeIds=${CPACK_HOST_MSI_CHROME_IDS}
            -D FirefoxIds=${CPACK_HOST_MSI_FIREFOX_IDS} -D HelpLink=${CPACK_HOST_MSI_HELP_LINK}
            -D "Contact=${CPACK_PACKAGE_CONTACT}" ${work}/${wxs}
    COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${work})
# The public properties a site sets, passed on from a user interface to the installation (the
# custom action ChooseInstallValues takes them from an administrator only), added to the secure
# ones that wixl lists (its upgrade properties, which the upgrade needs).
execute_process(COMMAND ${msiinfo} export ${msi} Property OUTPUT_VARIABLE property_table
                COMMAND_ERROR_IS_FATAL ANY)
if(NOT property_table MATCHES "(^|\n)SecureCustomProperties\t([^\r\n]*)")
    message(FATAL_ERROR "${msi}: wixl wrote no SecureCustomProperties row to extend")
endif()
set(secure ${CMAKE_MATCH_2})
foreach(property TABLET_SETTINGS CHROME_EXTENSION_IDS FIREFOX_EXTENSION_IDS)
    if(NOT ";${secure};" MATCHES ";${property};")
        string(APPEND secure ";${property}")
    endif()
endforeach()
execute_process(
    COMMAND ${msibuild} ${msi} -q "UPDATE `Property` SET `Value` = '${secure}' \
WHERE `Property` = 'SecureCustomProperties'"
    COMMAND_ERROR_IS_FATAL ANY)
if(signing_asked)
    execute_process(COMMAND ${CPACK_HOST_MSI_SIGN} ${msi} COMMAND_ERROR_IS_FATAL ANY)
endif()
message(STATUS "- package: ${msi} generated.")
