# Runs when installing: writes the host manifests naming the host at HOST_INSTALLED_PATH and
# installs them in the browsers' system folders (below DESTDIR when it is set).
include(${HOST_MANIFEST_MODULE})

file(READ "${HOST_CONFIG_FILE}" config)
string(JSON name GET "${config}" name)
foreach(kind chromium firefox)
    host_manifest(text ${kind} "${HOST_INSTALLED_PATH}" "${HOST_CONFIG_FILE}")
    set(manifest "${HOST_MANIFEST_STAGE}/${kind}/${name}.json")
    file(WRITE "${manifest}" "${text}")
    string(TOUPPER ${kind} KIND)
    foreach(dir IN LISTS HOST_${KIND}_MANIFEST_DIRS)
        file(INSTALL "${manifest}" DESTINATION "${dir}"
             FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endforeach()
endforeach()
