# The catalogue signers a build trusts: signify public key files named by
# UPDATER_TRUSTED_KEYS (a ;-list), compiled in, for every front end (the web
# page too). None: every catalogue is refused unless the user allows unsigned
# ones (--allow-unsigned; the page's UPDATER_ALLOW_UNSIGNED_CATALOGUE).
set(UPDATER_TRUSTED_KEYS "" CACHE STRING "signify public key files whose catalogue signatures are trusted")
include(${CMAKE_CURRENT_LIST_DIR}/signify_key_list.cmake)
signify_key_list(UPDATER_TRUSTED_KEYS key_items key_count)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/catalogue/built_in_keys.h CONTENT
"#pragma once
// Generated from UPDATER_TRUSTED_KEYS: the trusted signify public keys.
#include <array>
#include <string_view>

inline constexpr std::array<std::string_view, ${key_count}> kBuiltInKeyFiles = {
${key_items}};
")
