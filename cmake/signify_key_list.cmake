# signify_key_list(OPTION ITEMS COUNT): the signify public key files an
# option names, each checked (any prefix RWQ..RWT, by the key number's first
# byte) and made a raw string literal for a generated header; the build
# configures again when one changes.
function(signify_key_list option items_var count_var)
    set(items "")
    foreach(key_file ${${option}})
        file(READ ${key_file} key_text)
        if(NOT key_text MATCHES "^untrusted comment: [^\n]*\nRW[QRST][A-Za-z0-9+/=]+\n")
            message(FATAL_ERROR "${option}: ${key_file} is not a signify public key")
        endif()
        string(APPEND items "    R\"key(${key_text})key\",\n")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${key_file})
    endforeach()
    list(LENGTH ${option} count)
    set(${items_var} "${items}" PARENT_SCOPE)
    set(${count_var} ${count} PARENT_SCOPE)
endfunction()
