# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DNAME=<identifier> -P EmbedFile.cmake
# Writes a C++ source that defines kestrova::services::media::assets::<NAME> as a string_view over
# the file's bytes, so the stack carries its assets and needs no files at run time.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
if(hexLength EQUAL 0)
    message(FATAL_ERROR "EmbedFile: ${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT} at build time; do not edit.
#include \"media/EmbeddedAssets.h\"

namespace kestrova::services::media::assets {
namespace {
const char kBytes[] = {${bytes}};
}
const std::string_view ${NAME}{kBytes, sizeof kBytes};
} // namespace kestrova::services::media::assets
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
