# The documentation of the Linux installation: a manual page for each program in PREFIX/bin, and
# in PREFIX/share/doc/<package> the copyright, the changelog and the sample settings file; the
# DEB's lintian overrides. Manual pages and the changelog are compressed with gzip -9n (no name,
# no time stamp: the same sources give the same bytes), as Debian's policy asks.
set(HOST_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
# Below the installation prefix, what only the DEB ships.
set(HOST_DEBIAN_ONLY_FILES
    ${HOST_DOC_DIR}/changelog.Debian.gz
    ${CMAKE_INSTALL_DATADIR}/lintian/overrides/${CPACK_PACKAGE_NAME})

# host_gzip(SOURCE OUTPUT_NAME DESTINATION): installs SOURCE compressed as OUTPUT_NAME.
set(host_compressed "")
function(host_gzip source output_name destination)
    set(output ${CMAKE_CURRENT_BINARY_DIR}/doc/${output_name})
    add_custom_command(OUTPUT ${output}
                       COMMAND gzip -9n --stdout ${source} > ${output}
                       DEPENDS ${source} VERBATIM)
    install(FILES ${output} DESTINATION ${destination})
    set(host_compressed ${host_compressed} ${output} PARENT_SCOPE)
endfunction()

file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/doc)
file(GLOB manual_pages CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/man/*.1)
foreach(page IN LISTS manual_pages)
    get_filename_component(name ${page} NAME)
    host_gzip(${page} ${name}.gz ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
host_gzip(${HOST_CHANGELOG} changelog.Debian.gz ${HOST_DOC_DIR})
add_custom_target(linux-docs ALL DEPENDS ${host_compressed})

install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${PROJECT_SOURCE_DIR}/packaging/Inkora.ini
        DESTINATION ${HOST_DOC_DIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${CPACK_PACKAGE_NAME})
