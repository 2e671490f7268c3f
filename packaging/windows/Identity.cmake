# Identity and image header of the Windows .exe: a version resource (file and product version
# HOST_PACKAGE_VERSION, so that an MSI upgrade replaces an older .exe), an application manifest
# (asInvoker, the supported Windows versions), the lowest Windows version it runs on (Vista:
# CancelIoEx) and the Terminal-Server-aware mark, without which GetWindowsDirectoryA answers each
# Remote Desktop user's private Windows directory instead of the one that holds Inkora.ini.

if(NOT HOST_PACKAGE_VERSION MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$")
    message(FATAL_ERROR "HOST_PACKAGE_VERSION must be major.minor.patch, not ${HOST_PACKAGE_VERSION}")
endif()
set(HOST_VERSION_COMMAS "${CMAKE_MATCH_1},${CMAKE_MATCH_2},${CMAKE_MATCH_3},0")
set(HOST_VERSION_DOTTED "${HOST_PACKAGE_VERSION}.0")
set(HOST_COMPANY "${CPACK_PACKAGE_VENDOR}")
set(HOST_PRODUCT "Lumarq Orvane Sign")

set(identity_dir ${CMAKE_CURRENT_BINARY_DIR}/windows-identity)
set(HOST_MANIFEST_FILE ${identity_dir}/host.manifest)
configure_file(${CMAKE_CURRENT_LIST_DIR}/host.manifest.in ${HOST_MANIFEST_FILE} @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/host.rc.in ${identity_dir}/host.rc @ONLY)
set_source_files_properties(${identity_dir}/host.rc PROPERTIES OBJECT_DEPENDS ${HOST_MANIFEST_FILE})

target_sources(Lumarq.OrvaneSignExtension PRIVATE ${identity_dir}/host.rc)
target_link_options(Lumarq.OrvaneSignExtension PRIVATE
    -Wl,--tsaware
    -Wl,--major-os-version,6 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,0)
