# host_manifest(OUT_VAR KIND HOST_PATH CONFIG_FILE): the text of a native-messaging host manifest
# that starts HOST_PATH. KIND chromium (Chrome, Chromium, Edge) allows the Chrome extension's
# origin, KIND firefox the Firefox extension; the name, description and ids come from
# CONFIG_FILE (native-host.json). Usable at configure time and in install scripts.

# A JSON string of TEXT; a control character left in it fails the check in host_manifest.
function(_host_json_string out_var text)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "\"" "\\\"" text "${text}")
    set(${out_var} "\"${text}\"" PARENT_SCOPE)
endfunction()

function(host_manifest out_var kind host_path config_file)
    file(READ "${config_file}" config)
    string(JSON name GET "${config}" name)
    string(JSON description GET "${config}" description)
    if(kind STREQUAL "chromium")
        string(JSON id GET "${config}" chromeExtensionId)
        set(allowed_key allowed_origins)
        set(allowed_value "chrome-extension://${id}/")
    elseif(kind STREQUAL "firefox")
        string(JSON id GET "${config}" firefoxExtensionId)
        set(allowed_key allowed_extensions)
        set(allowed_value "${id}")
    else()
        message(FATAL_ERROR "host manifest: unknown browser family ${kind}")
    endif()
    foreach(field name description host_path allowed_value)
        _host_json_string(${field} "${${field}}")
    endforeach()
    string(CONCAT text
        "{\n"
        "  \"name\": ${name},\n"
        "  \"description\": ${description},\n"
        "  \"path\": ${host_path},\n"
        "  \"type\": \"stdio\",\n"
        "  \"${allowed_key}\": [${allowed_value}]\n"
        "}\n")
    # Fails on text that is not JSON.
    string(JSON type TYPE "${text}")
    set(${out_var} "${text}" PARENT_SCOPE)
endfunction()
