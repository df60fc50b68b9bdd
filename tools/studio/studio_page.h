// The studio's page: page/studio.html with its style sheet and script put
// in at build time (embed_page.cmake), so nothing is fetched at run time.
#pragma once

#include <string_view>

namespace nacrelle::tools::studio {

extern const std::string_view kStudioPage;

}  // namespace nacrelle::tools::studio
