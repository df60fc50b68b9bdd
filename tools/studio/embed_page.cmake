# Builds the studio's page into a C++ source: page/studio.html with the style
# sheet put in place of its marker comment, and each script (an ES module the
# page loads from /page/NAME) beside it, stored as bytes (no string literal
# limits, no escaping).
#   cmake -DPAGE_DIR=... -DOUTPUT=... -DSCRIPTS=a.js,b.js -P embed_page.cmake

# The C++ array initialiser of the bytes of `text`, and their count.
function(bytes_of text out_bytes out_length)
  file(WRITE ${OUTPUT}.part "${text}")
  file(READ ${OUTPUT}.part hex HEX)
  file(REMOVE ${OUTPUT}.part)
  string(LENGTH "${hex}" hexLength)
  math(EXPR length "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," hex "${hex}")
  set(${out_bytes} "${hex}" PARENT_SCOPE)
  set(${out_length} ${length} PARENT_SCOPE)
endfunction()

file(READ ${PAGE_DIR}/studio.html page)
file(READ ${PAGE_DIR}/studio.css style)
string(REPLACE "<!-- studio.css -->" "<style>\n${style}</style>" page "${page}")
bytes_of("${page}" page_bytes page_length)

set(arrays "")
set(entries "")
set(index 0)
string(REPLACE "," ";" SCRIPTS "${SCRIPTS}")
foreach(script IN LISTS SCRIPTS)
  file(READ ${PAGE_DIR}/${script} text)
  bytes_of("${text}" script_bytes script_length)
  string(APPEND arrays "const char kScript${index}[] = {${script_bytes}};\n")
  string(APPEND entries "    {\"${script}\", std::string_view(kScript${index}, ${script_length})},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE ${OUTPUT}.tmp
"// Generated from tools/studio/page by embed_page.cmake; do not edit.
#include \"studio/studio_page.h\"

#include <utility>

namespace nacrelle::tools::studio {
namespace {
const char kPageBytes[] = {${page_bytes}};
${arrays}
const std::pair<std::string_view, std::string_view> kScripts[] = {
${entries}};
}  // namespace

const std::string_view kStudioPage(kPageBytes, ${page_length});

std::string_view studioScript(std::string_view name) {
    for (const auto& [file, text] : kScripts) {
        if (file == name) return text;
    }
    return {};
}

}  // namespace nacrelle::tools::studio
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
