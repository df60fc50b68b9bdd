# Build-time script: turns a compiled resource image (.res) into a C++ source
# that defines the module's StandInResourceImage export (see
# host/modules/include/modules/embedded_resources.h).
#   cmake -DINPUT=<file.res> -DOUTPUT=<file.cpp> -P EmbedResourceImage.cmake
if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "EmbedResourceImage: INPUT and OUTPUT are required")
endif()

file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
if(size EQUAL 0)
  message(FATAL_ERROR "EmbedResourceImage: ${INPUT} is empty")
endif()

# 16 bytes a line.
string(REPEAT "[0-9a-f]" 32 line_pattern)
string(REGEX REPLACE "(${line_pattern})" "\\1\n" lines "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," lines "${lines}")
string(REGEX REPLACE "\n$" "" lines "${lines}")
string(REPLACE "\n" "\n    " lines "${lines}")

get_filename_component(input_name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.tmp" "\
// Generated at build time from ${input_name} by EmbedResourceImage.cmake.
// The module's compiled resources, for the stand-in host.
#include <cstddef>

#include \"modules/embedded_resources.h\"

namespace {

const unsigned char kResourceImage[${size}] = {
    ${lines}
};

}  // namespace

extern \"C\" __attribute__((visibility(\"default\")))
const unsigned char* StandInResourceImage(std::size_t* size) {
    if (size != nullptr) *size = sizeof kResourceImage;
    return kResourceImage;
}
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
