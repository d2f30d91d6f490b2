# Writes a C++ source that carries files inside the program, byte for byte.
#
#   cmake -DOUTPUT=<file.cpp> -DSTART_FILES=<a|b|...> -DICON_FILES=<a|b|...>
#         -P embed_files.cmake
#
# START_FILES are the start page's files, listed by StartPageFiles() in name
# order; ICON_FILES are the icon PNGs, listed by AppIconPngs() in the order
# given. Lists are separated with '|' because a ';' does not survive the trip
# through a build tool's command line on every generator.
#
# Each file becomes an array of char literals written as hex escapes, so any
# byte (NUL, bytes above 0x7f, quotes, backslashes) comes through unchanged and
# no compiler limit on string literal length applies.
cmake_minimum_required(VERSION 3.25)

if(NOT OUTPUT)
    message(FATAL_ERROR "embed_files: OUTPUT is not set")
endif()

string(REPLACE "|" ";" start_files "${START_FILES}")
string(REPLACE "|" ";" icon_files "${ICON_FILES}")

function(mime_type_of path out)
    get_filename_component(ext "${path}" LAST_EXT)
    string(TOLOWER "${ext}" ext)
    if(ext STREQUAL ".html" OR ext STREQUAL ".htm")
        set(type "text/html")
    elseif(ext STREQUAL ".css")
        set(type "text/css")
    elseif(ext STREQUAL ".svg")
        set(type "image/svg+xml")
    elseif(ext STREQUAL ".png")
        set(type "image/png")
    elseif(ext STREQUAL ".jpg" OR ext STREQUAL ".jpeg")
        set(type "image/jpeg")
    elseif(ext STREQUAL ".ico")
        set(type "image/x-icon")
    elseif(ext STREQUAL ".txt")
        set(type "text/plain")
    else()
        message(FATAL_ERROR "embed_files: no MIME type known for ${path}")
    endif()
    set(${out} "${type}" PARENT_SCOPE)
endfunction()

# Sixteen bytes to a line keeps the generated source readable in a diff tool.
string(REPEAT "[0-9a-f]" 32 line_of_hex)

# Appends the array for one file to `code` and sets `entry` to its table row.
function(embed_one path symbol)
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "embed_files: ${path} does not exist")
    endif()
    get_filename_component(name "${path}" NAME)
    if(NOT name MATCHES "^[A-Za-z0-9._-]+$")
        message(FATAL_ERROR "embed_files: ${name}: only letters, digits, '.', '_' and '-' in names")
    endif()
    mime_type_of("${path}" type)
    file(READ "${path}" hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    if(size EQUAL 0)
        # A C++ array cannot be empty: keep one byte and report a size of 0.
        set(body "    '\\x00',\n")
    else()
        string(REGEX REPLACE "(${line_of_hex})" "\\1\n" hex "${hex}")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," body "${hex}")
        string(REGEX REPLACE "(^|\n)'" "\\1    '" body "${body}")
        if(NOT body MATCHES "\n$")
            string(APPEND body "\n")
        endif()
    endif()
    set(code "${code}// ${name}: ${size} bytes\nconstexpr char ${symbol}[] = {\n${body}};\n\n"
        PARENT_SCOPE)
    set(entry "    {\"${name}\", \"${type}\", std::string_view(${symbol}, ${size})},\n"
        PARENT_SCOPE)
endfunction()

set(code "")
list(SORT start_files)
set(start_table "")
set(index 0)
foreach(path IN LISTS start_files)
    embed_one("${path}" "kStartPage${index}")
    string(APPEND start_table "${entry}")
    math(EXPR index "${index} + 1")
endforeach()
if(index EQUAL 0)
    message(FATAL_ERROR "embed_files: the start page has no files")
endif()

set(icon_table "")
set(index 0)
foreach(path IN LISTS icon_files)
    embed_one("${path}" "kAppIcon${index}")
    string(APPEND icon_table "${entry}")
    math(EXPR index "${index} + 1")
endforeach()
if(index EQUAL 0)
    message(FATAL_ERROR "embed_files: no application icon files")
endif()

file(WRITE "${OUTPUT}.tmp" "// Generated at build time by res/tools/embed_files.cmake from res/start/ and
// res/icons/. Do not edit: change those files instead.
#include \"res/embedded.h\"

namespace lumo::res {
namespace {

${code}constexpr EmbeddedFile kStartPageFiles[] = {
${start_table}};

constexpr EmbeddedFile kAppIconPngs[] = {
${icon_table}};

} // namespace

std::span<const EmbeddedFile> StartPageFiles()
{
    return kStartPageFiles;
}

std::span<const EmbeddedFile> AppIconPngs()
{
    return kAppIconPngs;
}

} // namespace lumo::res
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
