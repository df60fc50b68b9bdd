// The program's commands. Each takes the options its sub-command collected
// and returns the process exit code; errors are thrown as UsageError or
// Failure and reported by main.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/cli/image_output.h"

class Texmap;

namespace nacrelle::tools {

/// Options every command that builds a map shares.
struct MapOptions {
    std::optional<std::string> preset;    ///< a preset's name; "" is a name too (refused)
    std::vector<std::string> set;         ///< NAME=VALUE
    std::vector<std::string> key;         ///< NAME@FRAME=VALUE
    std::vector<std::string> unkey;       ///< NAME@FRAME (scene set)
    std::string thicknessMap;             ///< gradient | noise | bitmap:FILE
    std::vector<std::string> mapSet;      ///< NAME=VALUE of the thickness map
    std::string useMap;                   ///< on | off, "" for unchanged
    std::vector<std::string> outputSet;   ///< NAME=VALUE of the output filter
    std::optional<double> frame;
    std::optional<long> time;             ///< ticks
};

struct CommonOptions {
    std::string plugin;  ///< module file, "" for the default place
};

struct RenderCommand {
    MapOptions map;
    std::string scene;            ///< render this scene's map instead of a new one
    ImageOutput image{"nacrelle-swatch.png"};  ///< scene render: file "" for the scene's name
    int size = 512;
    std::optional<int> width, height;  ///< override size when given
    std::string frames;           ///< A-B: one file per frame
    int threads = 0;
};

struct ChartCommand {
    MapOptions map;
    ImageOutput image{"nacrelle-chart.png"};
    std::string thickness = "0:1000";  ///< FROM:TO nm
    int width = 800, height = 560;
    int threads = 0;
};

struct EvalCommand {
    MapOptions map;
    std::optional<double> cosine;
    std::string normal, view;   ///< X,Y,Z
    std::optional<double> mapValue;
    std::string scene;          ///< evaluate this scene's map instead of a new one
    bool terms = false;  ///< also print the film reflectance's intermediate terms
    bool json = false;
};

struct InfoCommand {
    bool json = false;
};

struct SceneCommand {
    std::string action;          ///< new | show | set | render
    std::string file;
    std::vector<std::string> assignments;  ///< scene set FILE NAME=VALUE ...
    MapOptions map;
    bool json = false;
    bool force = false;          ///< new: replace an existing file; set: a read-only one
    RenderCommand render;
};

struct PanelCommand {
    MapOptions map;
    std::string scene;
    std::vector<std::string> actions;  ///< in order: type:ID=TEXT, click:ID, press:ID
    bool json = false;
    bool openPages = false;
};

/// Throws the UsageError that the render command would meet (size, threads,
/// frames, settings), so that callers find it before they do any work.
void checkRenderCommand(const RenderCommand& command);

/// Applies the command's settings to `map` and writes its swatch (or one per
/// frame of the range).
int renderMap(Texmap& map, const RenderCommand& command);

int runRender(const CommonOptions& common, const RenderCommand& command);
int runChart(const CommonOptions& common, const ChartCommand& command);
int runEval(const CommonOptions& common, const EvalCommand& command);
int runInfo(const CommonOptions& common, const InfoCommand& command);
int runScene(const CommonOptions& common, const SceneCommand& command);
int runPanel(const CommonOptions& common, const PanelCommand& command);

}  // namespace nacrelle::tools
