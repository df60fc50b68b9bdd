#include <standin/atomic_file.h>
#include <standin/command_line.h>

#include "tools/errors.h"
#include "tools/render.h"

namespace nacrelle::tools {

void writeImage(const Image& image, const std::string& path, const PngEncoding& encoding) {
    const std::vector<std::uint8_t> bytes = encodePng(image, encoding);
    std::string error;
    if (!standin::WriteFileAtomically(standin::PathFromUtf8(path), bytes, error)) {
        throw Failure("cannot write \"" + path + "\": " + error);
    }
}

}  // namespace nacrelle::tools
