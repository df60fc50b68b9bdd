#include "cli/image_output.h"

#include <CLI/CLI.hpp>

#include "cli/write_policy.h"

namespace nacrelle::tools {

PngEncoding ImageOutput::encoding(int threads) const {
    return PngEncoding{sixteenBit ? 16 : 8, !linear, threads};
}

standin::WritePolicy ImageOutput::policy() const { return commandWritePolicy(force); }

void addImageOutputOptions(CLI::App& app, ImageOutput& output) {
    app.add_option("-o,--output-file", output.file,
                   "PNG file to write (name it .png), or - for standard output")
        ->capture_default_str();
    app.add_flag("--16bit", output.sixteenBit, "Write 16 bits per channel");
    app.add_flag("--linear", output.linear, "Write linear values, without sRGB encoding");
    app.add_flag(kForceFlag, output.force,
                 "Replace a read-only output file (where you may delete it) or one with "
                 "several hard links");
}

}  // namespace nacrelle::tools
