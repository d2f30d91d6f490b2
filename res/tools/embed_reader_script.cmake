# Writes the C++ source that carries the reader view's script: res/readability/
# reader.js with Readability's files (installed by scripts/setup.sh through npm)
# in place of its marker line.
#
#   cmake -DOUTPUT=<file.cpp> -DSCRIPT=<reader.js> -DREADABILITY_DIR=<dir> -P embed_reader_script.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var OUTPUT SCRIPT READABILITY_DIR)
    if(NOT ${var})
        message(FATAL_ERROR "embed_reader_script: ${var} is not set")
    endif()
endforeach()

file(READ "${SCRIPT}" script)
file(READ "${READABILITY_DIR}/Readability-readerable.js" readerable)
file(READ "${READABILITY_DIR}/Readability.js" readability)
string(FIND "${script}" "//@READABILITY@" marker)
if(marker EQUAL -1)
    message(FATAL_ERROR "embed_reader_script: ${SCRIPT} has no //@READABILITY@ line")
endif()
string(REPLACE "//@READABILITY@" "${readerable}\n${readability}" script "${script}")

# A raw string literal carries the text as it is; its closing sequence must not
# occur inside.
set(delimiter "lumo_reader_js")
string(FIND "${script}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
    message(FATAL_ERROR "embed_reader_script: the script holds the literal's closing sequence")
endif()

file(WRITE "${OUTPUT}.tmp" "// Generated at build time by res/tools/embed_reader_script.cmake from
// res/readability/reader.js and Readability's files. Do not edit.
#include \"res/embedded.h\"

namespace lumo::res {

std::string_view ReaderScript()
{
    static constexpr char kScript[] = R\"${delimiter}(${script})${delimiter}\";
    return std::string_view(kScript, sizeof kScript - 1);
}

} // namespace lumo::res
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
