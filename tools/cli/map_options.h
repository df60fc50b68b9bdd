// The options of every command that builds a map, and turning them into
// map settings.
#pragma once


#include <optional>
#include <string>
#include <vector>

#include "app/session/map_settings.h"

namespace CLI {
class App;
}  // namespace CLI

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

/// Adds --set, --key, --thickness-map, --map-set, --use-map, --output,
/// --frame and --time to `app`.
void addMapOptions(CLI::App& app, MapOptions& map);

/// Parses every NAME=VALUE and key; malformed text is a BadValue.
MapSettings toSettings(const MapOptions& options);

/// The time the options name (--frame or --time), 0 by default.
TimeValue timeOf(const MapOptions& options);

}  // namespace nacrelle::tools
