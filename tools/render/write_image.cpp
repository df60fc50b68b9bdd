#include <platform/atomic_file.h>
#include <platform/command_line.h>
#include <platform/desktop.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "tools/common/errors.h"
#include "tools/render/render.h"

namespace nacrelle::tools {

void writeImage(const Image& image, const std::string& path, const PngEncoding& encoding,
                const standin::WritePolicy& policy) {
    const std::vector<std::uint8_t> bytes = encodePng(image, encoding);
    if (path == "-") {
        standin::MakeStandardOutputBinary();
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
            std::fflush(stdout) != 0) {
            throw Failure("cannot write the image to standard output");
        }
        return;
    }
    std::string error;
    if (!standin::WriteFileAtomically(standin::PathFromUtf8(path), bytes, error,
                                      standin::OpenFileSink, policy)) {
        throw Failure("cannot write \"" + path + "\": " + error);
    }
}

void checkPngName(const std::string& path) {
    if (path == "-") return;
    std::string extension = standin::PathToUtf8(standin::PathFromUtf8(path).extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!extension.empty() && extension != ".png") {
        throw UsageError("-o \"" + path + "\": the program writes PNG files; name it .png, or " +
                         "\"-\" for standard output");
    }
}

}  // namespace nacrelle::tools
