// Opening a page in the user's browser through xdg-open.
#pragma once

#include <string>

namespace nacrelle::tools {

/// Opens `address` with xdg-open (found on PATH). "" when it did, else why
/// not: it could not be started, or it ended with a failure. An opener still
/// running after a few seconds (one that waits for the browser) counts as
/// having opened the page.
std::string openInBrowser(const std::string& address);

}  // namespace nacrelle::tools
