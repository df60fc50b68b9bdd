#include <platform/atomic_file.h>
#include <platform/command_line.h>
#include <platform/desktop.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "common/errors.h"
#include "app/render/render.h"

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

void writeImage(const Image& image, standin::ByteSink& stream, const std::string& path,
                const PngEncoding& encoding) {
    std::string error;
    if (!standin::WriteToStream(stream, standin::PathFromUtf8(path), encodePng(image, encoding),
                                error)) {
        throw Failure("cannot write \"" + path + "\": " + error);
    }
}

void checkPngName(const std::string& path) {
    if (path == "-") return;
    const std::filesystem::path file = standin::PathFromUtf8(path);
    std::string extension = standin::PathToUtf8(file.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // A pipe or device keeps its own name: nothing is stored under it (and
    // the writer refuses a directory in its own words).
    if (extension != ".png" && standin::StoresFile(file)) {
        throw BadValue("-o \"" + path + "\": the program writes PNG files; name it .png, or " +
                         "\"-\" for standard output");
    }
}

}  // namespace nacrelle::tools
