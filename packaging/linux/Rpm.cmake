# The RPM, made in the same CPack run as the DEB where rpmbuild is installed: the same files
# (less the changelog and overrides that are Debian's own), the manifests in /etc as configuration
# files, the same script after installing, and the Debian changelog's entries as its %changelog.
find_program(RPMBUILD_PROGRAM rpmbuild)
if(RPMBUILD_PROGRAM)
    list(APPEND CPACK_GENERATOR RPM)
endif()
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
# Not relocatable: the manifests name the host in /usr/bin.
set(CPACK_PACKAGE_RELOCATABLE OFF)
set(CPACK_RPM_PACKAGE_RELEASE ${HOST_PACKAGE_RELEASE})
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# Without build-id links, which serve a debuginfo package that this RPM does not come with.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define _build_id_links none\n%define packager ${CPACK_PACKAGE_CONTACT}")
set(CPACK_RPM_POST_INSTALL_SCRIPT_FILE ${CMAKE_CURRENT_LIST_DIR}/postinst)

set(CPACK_RPM_USER_FILELIST "")
foreach(file IN LISTS HOST_ETC_MANIFESTS)
    list(APPEND CPACK_RPM_USER_FILELIST "%config(noreplace) ${file}")
endforeach()
# A file installed to an absolute folder would be configuration by default: the udev rule is not.
list(APPEND CPACK_RPM_USER_FILELIST "%attr(644,root,root) ${HOST_UDEV_RULES_DIR}/70-lumarq-signpad.rules")
foreach(file IN LISTS HOST_DEBIAN_ONLY_FILES)
    list(APPEND CPACK_RPM_USER_FILELIST "%exclude ${CPACK_PACKAGING_INSTALL_PREFIX}/${file}")
endforeach()
# Folders that the system or the browsers own; the package owns only the folders of its own.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /etc/opt /usr/lib/mozilla /usr/lib/udev /usr/lib/udev/rules.d
    /usr/share/man /usr/share/man/man1 /usr/share/lintian /usr/share/lintian/overrides)

# host_rpm_changelog(OUT_FILE): writes the entries of the Debian changelog in the RPM's form,
# "* Mon Dec 07 2026 NAME <MAIL> - VERSION" followed by the items as "- " lines.
function(host_rpm_changelog out_file)
    file(READ ${HOST_CHANGELOG} text)
    string(REPLACE ";" "<semicolon>" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    set(entries "")
    foreach(line IN LISTS lines)
        if(line MATCHES "^[a-z0-9.+-]+ \\(([^)]+)\\)")
            set(version ${CMAKE_MATCH_1})
            set(items "")
        elseif(line MATCHES "^  \\* (.*)$")
            string(APPEND items "- ${CMAKE_MATCH_1}\n")
        elseif(line MATCHES "^    (.*)$")
            string(APPEND items "  ${CMAKE_MATCH_1}\n")
        elseif(line MATCHES "^ -- (.+)  ([A-Z][a-z]+), ([0-9]+) ([A-Z][a-z]+) ([0-9]+) ")
            set(date "${CMAKE_MATCH_2} ${CMAKE_MATCH_4} ${CMAKE_MATCH_3} ${CMAKE_MATCH_5}")
            string(APPEND entries "* ${date} ${CMAKE_MATCH_1} - ${version}\n${items}\n")
        endif()
    endforeach()
    string(REPLACE "<semicolon>" ";" entries "${entries}")
    string(STRIP "${entries}" entries)
    file(WRITE ${out_file} "${entries}\n")
endfunction()
host_rpm_changelog(${CMAKE_CURRENT_BINARY_DIR}/rpm/changelog)
set(CPACK_RPM_CHANGELOG_FILE ${CMAKE_CURRENT_BINARY_DIR}/rpm/changelog)
