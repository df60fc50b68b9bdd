// Parameter values as JSON, shared by the commands that print them.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "app/session/host_types.h"

namespace nacrelle::tools {

/// A float as the JSON number of its shortest text ("0.2", not the double
/// nearest 0.2f).
nlohmann::json jsonNumber(float value);

/// A float's shortest text that reads back to it ("0.2"), as the host shows it.
std::string floatText(float value);

/// An object's class and the parameters of its blocks by script name, in the
/// order of their IDs (the panel's, as `info` lists them), each with its value
/// at time 0 and its keys (frame and value) when animated. Null for a null
/// object.
nlohmann::ordered_json describeObject(ReferenceTarget* object);

/// A map as `nacrelle scene show` shows it: describeObject's, with each
/// parameter's panel label, its thickness map (and a bitmap's file and the
/// problem reading it) and its output filter.
nlohmann::ordered_json describeMap(Texmap& map);

}  // namespace nacrelle::tools
