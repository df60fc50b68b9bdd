// Turning the shared map options of the command line into map settings.
#pragma once

#include <max.h>

#include "tools/cli/commands.h"
#include "tools/session/map_settings.h"

namespace nacrelle::tools {

/// Parses every NAME=VALUE and key; malformed text is a UsageError.
MapSettings toSettings(const MapOptions& options);

/// The time the options name (--frame or --time), 0 by default.
TimeValue timeOf(const MapOptions& options);

}  // namespace nacrelle::tools
