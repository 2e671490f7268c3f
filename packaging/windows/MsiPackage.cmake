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

string(UUID product_code NAMESPACE ${CPACK_HOST_MSI_UPGRADE_CODE} NAME "${version}"
       TYPE SHA1 UPPER)
execute_process(
    COMMAND ${CPACK_HOST_MSI_WIXL} --arch x86 --output ${msi}
            -D Version=${version} -D ProductCode=${product_code}
            -D UpgradeCode=${CPACK_HOST_MSI_UPGRADE_CODE}
            -D "Manufacturer=${CPACK_PACKAGE_VENDOR}" -D "ProductName=${CPACK_HOST_MSI_PRODUCT}"
            -D HostName=${CPACK_HOST_MSI_HOST_NAME} ${work}/${wxs}
    COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${work})
if(NOT "$ENV{WINDOWS_SIGN_PKCS12}" STREQUAL "")
    execute_process(COMMAND ${CPACK_HOST_MSI_SIGN} ${msi} COMMAND_ERROR_IS_FATAL ANY)
endif()
message(STATUS "- package: ${msi} generated.")
