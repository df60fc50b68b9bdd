// `nacrelle presets` and `nacrelle gallery`, and the --preset option of the
// commands that start a new map. Kept apart from main so that the program's
// other commands need only a call to register them.
#pragma once

#include <optional>
#include <string>

#include "cli/command_registration.h"
#include "cli/image_output.h"
#include "cli/map_options.h"
#include "app/render/render_gallery.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace nacrelle::tools {

struct PresetsCommand {
    std::optional<std::string> name;  ///< one preset in full, none for the list
    bool json = false;
};

struct GalleryCommand {
    ImageOutput image{"nacrelle-gallery.png"};
    GalleryOptions options;
};

int runPresets(const PresetsCommand& command);
int runGallery(const CommonOptions& common, const GalleryCommand& command);

/// Adds --preset NAME to a command that starts a new map.
CLI::Option* addPresetOption(CLI::App& app, MapOptions& map);


}  // namespace nacrelle::tools
