# Builds the studio's one page into a C++ source: page/studio.html with the
# style sheet and the scripts (one script, in the order below) put in place
# of their marker comments, stored as bytes (no string literal limits, no
# escaping).
#   cmake -DPAGE_DIR=... -DOUTPUT=... -P embed_page.cmake
file(READ ${PAGE_DIR}/studio.html page)
file(READ ${PAGE_DIR}/studio.css style)
set(script "")
foreach(part studio.js pictures.js spinner.js editing.js)
  file(READ ${PAGE_DIR}/${part} text)
  string(APPEND script "${text}")
endforeach()
string(REPLACE "<!-- studio.css -->" "<style>\n${style}</style>" page "${page}")
string(REPLACE "<!-- studio.js -->" "<script>\n${script}</script>" page "${page}")
file(WRITE ${OUTPUT}.page "${page}")
file(READ ${OUTPUT}.page bytes HEX)
string(LENGTH "${bytes}" hexLength)
math(EXPR length "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
file(WRITE ${OUTPUT}.tmp
"// Generated from tools/studio/page by embed_page.cmake; do not edit.
#include \"tools/studio/studio_page.h\"

namespace nacrelle::tools::studio {
namespace {
const char kPageBytes[] = {${bytes}};
}  // namespace
const std::string_view kStudioPage(kPageBytes, ${length});
}  // namespace nacrelle::tools::studio
")
file(REMOVE ${OUTPUT}.page)
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
