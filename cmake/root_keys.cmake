# The root keys a build trusts: signify public key files named by
# UPDATER_ROOT_KEYS (a ;-list), compiled in, and how many of them must sign
# the first published key set (keys/1.keys.json). With roots, catalogues are
# judged by the key chain; UPDATER_TRUSTED_KEYS is for builds without them.
set(UPDATER_ROOT_KEYS "" CACHE STRING "signify public key files of the root keys (2 of 3 kept offline is the usual setup)")
set(UPDATER_ROOT_THRESHOLD 2 CACHE STRING "how many root keys must sign a key set")
include(${CMAKE_CURRENT_LIST_DIR}/signify_key_list.cmake)
signify_key_list(UPDATER_ROOT_KEYS root_items root_count)
if(root_count GREATER 0)
    if(NOT UPDATER_ROOT_THRESHOLD MATCHES "^[1-9][0-9]*$" OR UPDATER_ROOT_THRESHOLD GREATER root_count)
        message(FATAL_ERROR "UPDATER_ROOT_THRESHOLD: ${UPDATER_ROOT_THRESHOLD} is not 1 to ${root_count}")
    endif()
    if(UPDATER_TRUSTED_KEYS)
        message(FATAL_ERROR "UPDATER_ROOT_KEYS and UPDATER_TRUSTED_KEYS: a build trusts root keys or single keys, not both")
    endif()
    set(root_threshold ${UPDATER_ROOT_THRESHOLD})
else()
    set(root_threshold 0)
endif()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/catalogue/built_in_roots.h CONTENT
"#pragma once
// Generated from UPDATER_ROOT_KEYS and UPDATER_ROOT_THRESHOLD.
#include <array>
#include <cstddef>
#include <string_view>

inline constexpr std::array<std::string_view, ${root_count}> kBuiltInRootFiles = {
${root_items}};
inline constexpr std::size_t kBuiltInRootThreshold = ${root_threshold};
")
