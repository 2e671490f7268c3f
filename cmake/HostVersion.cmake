# The one version of the host: --version, the Windows .exe's version resource, the MSI, the ZIP
# and the Linux packages all take HOST_PACKAGE_VERSION. By default it is the version of the
# newest entry in the Linux packages' changelog, which must equal the project's.
set(HOST_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/linux/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HOST_CHANGELOG})
file(STRINGS ${HOST_CHANGELOG} newest_change LIMIT_COUNT 1)
if(NOT "${newest_change}" MATCHES "^[a-z0-9.+-]+ \\(([^)-]+)-([^)]+)\\)")
    message(FATAL_ERROR "packaging/linux/changelog: no version in its first line")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/linux/changelog: version ${CMAKE_MATCH_1}, project ${PROJECT_VERSION}")
endif()
set(HOST_PACKAGE_VERSION ${CMAKE_MATCH_1} CACHE STRING
    "Version of the host (--version), its packages and the Windows .exe (major.minor.patch)")
set(HOST_PACKAGE_RELEASE ${CMAKE_MATCH_2} CACHE STRING "Packaging release of the Linux packages")
