// A request's target ("/api/state?token=...&revision=3") split into its
// path and query parameters, %-escapes decoded.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace nacrelle::tools::studio {

struct RequestTarget {
    std::string path;
    /// A repeated parameter counts once, the first time.
    std::map<std::string, std::string> query;
};

/// nullopt when a %-escape is broken ("%4", "%zz").
std::optional<RequestTarget> parseRequestTarget(std::string_view target);

}  // namespace nacrelle::tools::studio
