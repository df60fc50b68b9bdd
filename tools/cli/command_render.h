// `nacrelle render`, whose options and rendering `scene render` shares.
#pragma once

#include <optional>
#include <string>

#include "cli/image_output.h"
#include "cli/map_options.h"

class Texmap;
namespace CLI {
class App;
}  // namespace CLI

namespace nacrelle::tools {

struct RenderCommand {
    MapOptions map;
    std::string scene;            ///< render this scene's map instead of a new one
    ImageOutput image{"nacrelle-swatch.png"};  ///< scene render: file "" for the scene's name
    int size = 512;
    std::optional<int> width, height;  ///< override size when given
    std::string frames;           ///< A-B: one file per frame
    int threads = 0;
    bool viewport = false;        ///< the viewport's texture instead of the swatch
};

/// Adds the swatch's output, size, frame range and thread options to `app`.
void addRenderOptions(CLI::App& app, RenderCommand& render);

/// Throws a BadValue unless an image of `width` x `height` can be made.
void checkSize(int width, int height);

/// Throws the BadValue that the render command would meet (size, threads,
/// frames, settings), so that callers find it before they do any work.
void checkRenderCommand(const RenderCommand& command);

/// Applies the command's settings to `map` and writes its swatch (or one per
/// frame of the range).
int renderMap(Texmap& map, const RenderCommand& command);

}  // namespace nacrelle::tools
