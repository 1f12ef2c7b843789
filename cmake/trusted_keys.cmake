# The catalogue signers a build trusts: signify public key files named by
# UPDATER_TRUSTED_KEYS (a ;-list), compiled in, for every front end (the web
# page too). None: every catalogue is refused unless the user allows unsigned
# ones (--allow-unsigned; the page's UPDATER_ALLOW_UNSIGNED_CATALOGUE).
set(UPDATER_TRUSTED_KEYS "" CACHE STRING "signify public key files whose catalogue signatures are trusted")
set(key_items "")
foreach(key_file ${UPDATER_TRUSTED_KEYS})
    file(READ ${key_file} key_text)
    if(NOT key_text MATCHES "^untrusted comment: [^\n]*\nRW[QRST][A-Za-z0-9+/=]+\n")
        message(FATAL_ERROR "UPDATER_TRUSTED_KEYS: ${key_file} is not a signify public key")
    endif()
    string(APPEND key_items "    R\"key(${key_text})key\",\n")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${key_file})
endforeach()
list(LENGTH UPDATER_TRUSTED_KEYS key_count)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/catalogue/built_in_keys.h CONTENT
"#pragma once
// Generated from UPDATER_TRUSTED_KEYS: the trusted signify public keys.
#include <array>
#include <string_view>

inline constexpr std::array<std::string_view, ${key_count}> kBuiltInKeyFiles = {
${key_items}};
")
