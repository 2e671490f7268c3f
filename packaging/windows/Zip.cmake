# The Windows ZIP, for one user without administrator rights: the host, its two manifests (the
# Chrome family; Firefox) naming the host beside them, native-host.json, the PowerShell
# registration script, the .reg files for the fixed install folder HOST_WINDOWS_INSTALL_DIR, a
# readme and the sample settings, in one top-level folder. The MSI (Msi.cmake) is made from the
# same staged files.
set(HOST_WINDOWS_INSTALL_DIR "C:/Program Files/Lumarq/OrvaneSign" CACHE STRING
    "The folder the .reg files assume the ZIP is extracted to")

set(stage ${CMAKE_CURRENT_BINARY_DIR}/windows)
foreach(kind chromium firefox)
    host_manifest(text ${kind} "${HOST_EXECUTABLE}" "${HOST_CONFIG_FILE}")
    file(WRITE ${stage}/${HOST_NAME}.${kind}.json "${text}")
endforeach()

# .reg strings double each backslash.
string(REPLACE "/" "\\" install_dir "${HOST_WINDOWS_INSTALL_DIR}")
string(REPLACE "\\" "\\\\" HOST_INSTALL_DIR_REG "${install_dir}")
set(HOST_INSTALL_DIR_DISPLAY "${install_dir}")
foreach(reg register-host unregister-host)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/${reg}.reg.in ${stage}/${reg}.reg
                   @ONLY NEWLINE_STYLE CRLF)
endforeach()

install(TARGETS Lumarq.OrvaneSignExtension RUNTIME DESTINATION .)
# Signed once stripped, when packaging with a certificate (scripts/sign-windows.sh).
install(CODE "
    if(NOT \"\$ENV{WINDOWS_SIGN_PKCS12}\" STREQUAL \"\")
        execute_process(COMMAND ${PROJECT_SOURCE_DIR}/scripts/sign-windows.sh
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${HOST_EXECUTABLE}\"
            COMMAND_ERROR_IS_FATAL ANY)
    endif()")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/Inkora.ini DESTINATION . RENAME Inkora.ini.sample)
install(FILES
        ${HOST_CONFIG_FILE}
        ${CMAKE_CURRENT_LIST_DIR}/README.txt
        ${CMAKE_CURRENT_LIST_DIR}/register-host.ps1
        ${stage}/${HOST_NAME}.chromium.json
        ${stage}/${HOST_NAME}.firefox.json
        ${stage}/register-host.reg
        ${stage}/unregister-host.reg
        DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
