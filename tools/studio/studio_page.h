// The studio's page: page/studio.html with its style sheet put in, and its
// scripts, ES modules that the page loads from this server by name; all
// embedded at build time (embed_page.cmake), so nothing is read from disk at
// run time.
#pragma once

#include <string_view>

namespace nacrelle::tools::studio {

extern const std::string_view kStudioPage;

/// The page's script `name` ("studio.js"), or empty for a name it has none of.
std::string_view studioScript(std::string_view name);

}  // namespace nacrelle::tools::studio
