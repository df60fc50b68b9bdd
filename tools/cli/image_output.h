// The output options of every command that writes an image (render, chart,
// gallery, scene render): one definition, so that each takes the same
// options with the same meaning.
#pragma once

#include <platform/atomic_file.h>

#include <string>

#include "app/render/image.h"

namespace CLI {
class App;
}  // namespace CLI

namespace nacrelle::tools {

struct ImageOutput {
    std::string file;  ///< -o: a .png name, or "-" for standard output
    bool sixteenBit = false;
    bool linear = false;
    bool force = false;  ///< replace a read-only output or split its hard links

    /// The encoding these options ask for, converted by `threads` threads.
    PngEncoding encoding(int threads) const;
    /// How an existing file may be replaced.
    standin::WritePolicy policy() const;
};

/// Adds -o, --16bit, --linear and --force to `app`; `output.file` is the
/// default name shown in the help.
void addImageOutputOptions(CLI::App& app, ImageOutput& output);

}  // namespace nacrelle::tools
