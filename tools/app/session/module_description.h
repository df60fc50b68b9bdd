// What `nacrelle info` shows of the loaded module: its identity, what a new
// map asks of the renderer, and the parameters of the map, of the thickness
// maps the program can plug in and of the output filter.
#pragma once

#include <nlohmann/json.hpp>

namespace nacrelle::tools {

class HostSession;

/// The module's file, version, release and description; the map class's
/// names, category, class and super-class IDs; the renderer requirements of
/// a new map; and every parameter (block, ID, script and display name, type,
/// default, range, whether animatable), as `nacrelle info --json` prints it.
nlohmann::json describeModule(HostSession& session);

}  // namespace nacrelle::tools
