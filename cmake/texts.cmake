# The localized texts have one source, a data file of quoted strings with C
# escapes (\r \n \t \" \\). At configure time it becomes
#   generated/text_table_data.cpp  the compiled-in TextTable (u"" literals),
#   generated/strings.rc           the Windows STRINGTABLE (UTF-8 source),
#   generated/text_table_paths.h   where strings.rc is, for the tests.
# The escapes are kept as written: they are valid in a C++ literal and in RC,
# except \" which RC spells "".

set(_UPDATER_CHINESE_BASE 129)
set(_UPDATER_ENGLISH_BASE 238)

# Rewrite a file only when its content changes, so a re-run of the configure
# step does not force a rebuild.
function(_updater_write_if_changed path content)
    file(WRITE "${path}.tmp" "${content}")
    file(COPY_FILE "${path}.tmp" "${path}" ONLY_IF_DIFFERENT)
    file(REMOVE "${path}.tmp")
endfunction()

# Read the data file as lines in `out_var`. List syntax characters are
# swapped for control characters so that a text may contain them; callers
# undo that with _updater_texts_unguard.
function(_updater_texts_read data_file out_var)
    file(READ "${data_file}" head LIMIT 3 HEX)
    set(offset 0)
    if(head STREQUAL "efbbbf")
        set(offset 3)
    endif()
    file(READ "${data_file}" content OFFSET ${offset})
    string(REPLACE "\r" "" content "${content}")
    string(ASCII 1 semi)
    string(ASCII 2 open)
    string(ASCII 3 close)
    string(ASCII 4 backslash)
    string(REPLACE "\\" "${backslash}" content "${content}")
    string(REPLACE ";" "${semi}" content "${content}")
    string(REPLACE "[" "${open}" content "${content}")
    string(REPLACE "]" "${close}" content "${content}")
    string(REPLACE "\n" ";" content "${content}")
    set(${out_var} "${content}" PARENT_SCOPE)
endfunction()

function(_updater_texts_unguard var)
    string(ASCII 1 semi)
    string(ASCII 2 open)
    string(ASCII 3 close)
    string(ASCII 4 backslash)
    set(text "${${var}}")
    string(REPLACE "${semi}" ";" text "${text}")
    string(REPLACE "${open}" "[" text "${text}")
    string(REPLACE "${close}" "]" text "${text}")
    string(REPLACE "${backslash}" "\\" text "${text}")
    set(${var} "${text}" PARENT_SCOPE)
endfunction()

# Stop the configure step on an escape that the two outputs would read
# differently.
function(_updater_texts_check_escapes text where)
    string(REPLACE "\\\\" "" rest "${text}")
    string(REGEX REPLACE "\\\\[rnt\"]" "" rest "${rest}")
    if(rest MATCHES "\\\\")
        message(FATAL_ERROR "${where}: only \\r \\n \\t \\\" \\\\ may follow a backslash")
    endif()
endfunction()

# RC writes a double quote inside a string as "". The literal is narrow on
# purpose: string tables are stored as UTF-16 either way, and windres converts
# narrow strings through the code page but copies the bytes of L"" strings
# one by one, which garbles the Chinese texts.
function(_updater_texts_rc_literal text out_var)
    string(ASCII 4 backslash)
    string(REPLACE "\\\\" "${backslash}" text "${text}")
    string(REPLACE "\\\"" "\"\"" text "${text}")
    string(REPLACE "${backslash}" "\\\\" text "${text}")
    set(${out_var} "\"${text}\"" PARENT_SCOPE)
endfunction()

# Parse the data file. Sets in the caller: <prefix>_COUNT and, for each
# index i, <prefix>_ZH_<i> and <prefix>_EN_<i> (still escaped).
function(_updater_texts_parse data_file prefix)
    _updater_texts_read("${data_file}" lines)
    set(line_no 0)
    set(count 0)
    set(row_re "^([0-9]+)\t\"((\\\\.|[^\"\\\\])*)\"\t\"((\\\\.|[^\"\\\\])*)\"$")
    foreach(line IN LISTS lines)
        math(EXPR line_no "${line_no} + 1")
        _updater_texts_unguard(line)
        if(line MATCHES "^[ \t]*(#.*)?$")
            continue()
        endif()
        set(where "${data_file}:${line_no}")
        if(NOT line MATCHES "${row_re}")
            message(FATAL_ERROR "${where}: expected index<TAB>\"Chinese\"<TAB>\"English\"")
        endif()
        set(index "${CMAKE_MATCH_1}")
        set(zh "${CMAKE_MATCH_2}")
        set(en "${CMAKE_MATCH_4}")
        if(NOT index EQUAL count)
            message(FATAL_ERROR "${where}: index ${index} out of order, expected ${count}")
        endif()
        _updater_texts_check_escapes("${zh}" "${where}")
        _updater_texts_check_escapes("${en}" "${where}")
        set(${prefix}_ZH_${count} "${zh}" PARENT_SCOPE)
        set(${prefix}_EN_${count} "${en}" PARENT_SCOPE)
        math(EXPR count "${count} + 1")
    endforeach()
    if(count EQUAL 0)
        message(FATAL_ERROR "${data_file}: no texts")
    endif()
    set(${prefix}_COUNT ${count} PARENT_SCOPE)
endfunction()

function(_updater_texts_cpp prefix source_name out_var)
    math(EXPR last "${${prefix}_COUNT} - 1")
    set(cpp "// Generated from ${source_name} by cmake/texts.cmake; edit that file instead.\n")
    string(APPEND cpp "#include \"text/text_table.h\"\n\n")
    string(APPEND cpp "using namespace std::string_view_literals;\n\n")
    string(APPEND cpp "static_assert(${${prefix}_COUNT} == kTextCount, "
                      "\"${source_name} and kTextCount disagree\");\n\n")
    string(APPEND cpp "constinit const std::array<TextPair, kTextCount> TextTable{{\n")
    foreach(i RANGE ${last})
        string(APPEND cpp "    {u\"${${prefix}_ZH_${i}}\"sv,\n"
                          "     u\"${${prefix}_EN_${i}}\"sv},  // ${i}\n")
    endforeach()
    string(APPEND cpp "}};\n")
    set(${out_var} "${cpp}" PARENT_SCOPE)
endfunction()

function(_updater_texts_rc prefix source_name out_var)
    math(EXPR last "${${prefix}_COUNT} - 1")
    set(rc "#pragma code_page(65001)\n")
    string(APPEND rc "// Generated from ${source_name} by cmake/texts.cmake; edit that file instead.\n")
    string(APPEND rc "// Language neutral: the program picks the Chinese or English id itself,\n")
    string(APPEND rc "// so the table must be found under every user-interface language.\n")
    string(APPEND rc "STRINGTABLE\nLANGUAGE 0, 0\nBEGIN\n")
    foreach(lang ZH EN)
        if(lang STREQUAL "ZH")
            set(base ${_UPDATER_CHINESE_BASE})
        else()
            set(base ${_UPDATER_ENGLISH_BASE})
        endif()
        foreach(i RANGE ${last})
            math(EXPR id "${base} + ${i}")
            _updater_texts_rc_literal("${${prefix}_${lang}_${i}}" literal)
            string(APPEND rc "    ${id}, ${literal}\n")
        endforeach()
    endforeach()
    string(APPEND rc "END\n")
    set(${out_var} "${rc}" PARENT_SCOPE)
endfunction()

# updater_generate_texts(<data file> <cpp out var> <rc out var>)
# Writes the generated files and returns the paths of the .cpp and the .rc.
function(updater_generate_texts data_file out_cpp_var out_rc_var)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${data_file}")
    file(RELATIVE_PATH source_name "${PROJECT_SOURCE_DIR}" "${data_file}")
    _updater_texts_parse("${data_file}" TEXTS)

    set(out_dir "${CMAKE_BINARY_DIR}/generated")
    file(MAKE_DIRECTORY "${out_dir}")
    _updater_texts_cpp(TEXTS "${source_name}" cpp)
    _updater_texts_rc(TEXTS "${source_name}" rc)
    _updater_write_if_changed("${out_dir}/text_table_data.cpp" "${cpp}")
    _updater_write_if_changed("${out_dir}/strings.rc" "${rc}")

    string(REPLACE "\\" "\\\\" rc_path "${out_dir}/strings.rc")
    string(REPLACE "\"" "\\\"" rc_path "${rc_path}")
    set(paths "#pragma once\n// Generated by cmake/texts.cmake.\n")
    string(APPEND paths "inline constexpr char kGeneratedStringsRcPath[] = \"${rc_path}\";\n")
    _updater_write_if_changed("${out_dir}/text_table_paths.h" "${paths}")

    set(${out_cpp_var} "${out_dir}/text_table_data.cpp" PARENT_SCOPE)
    set(${out_rc_var} "${out_dir}/strings.rc" PARENT_SCOPE)
endfunction()
