#include "app/match/target_colour.h"

#include <cctype>
#include <cmath>
#include <string>

#include "app/session/value_parser.h"
#include "common/errors.h"

namespace nacrelle::tools {
namespace {

bool isHexDigits(std::string_view text) {
    for (const char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c)) == 0) return false;
    }
    return true;
}

/// Channel `i` of 3 or 6 hex digits, in [0, 1].
double hexChannel(std::string_view digits, int i) {
    const bool shortForm = digits.size() == 3;
    const std::string pair = shortForm ? std::string(2, digits[static_cast<std::size_t>(i)])
                                       : std::string(digits.substr(static_cast<std::size_t>(2 * i), 2));
    return std::stoi(pair, nullptr, 16) / 255.0;
}

}  // namespace

TargetColour parseTargetColour(std::string_view text, const ColourConversions& conversions) {
    const std::string quotedText = "colour \"" + std::string(text) + "\"";
    if (text.find(',') != std::string_view::npos) {
        const Vector3 v = parseVector(text, quotedText);
        for (const double channel : {v.x, v.y, v.z}) {
            if (!(channel >= 0.0 && channel <= 1.0)) {
                throw BadValue(quotedText + ": linear r,g,b values lie between 0 and 1, not " +
                               formatNumber(channel));
            }
        }
        TargetColour target;
        target.linear = {v.x, v.y, v.z};
        target.lab = conversions.labOfLinear(target.linear);
        target.hex = hexOfEncoded(conversions.encodedOfLinear(target.linear));
        return target;
    }
    const std::string_view digits = !text.empty() && text.front() == '#' ? text.substr(1) : text;
    if ((digits.size() != 6 && digits.size() != 3) || !isHexDigits(digits)) {
        throw BadValue(quotedText +
                       " is neither an sRGB hex colour (#6a3fa0) nor linear r,g,b "
                       "(0.14,0.05,0.35)");
    }
    const Rgb encoded{hexChannel(digits, 0), hexChannel(digits, 1), hexChannel(digits, 2)};
    TargetColour target;
    target.linear = conversions.linearOfEncoded(encoded);
    target.lab = conversions.labOfEncoded(encoded);
    target.hex = hexOfEncoded(encoded);
    return target;
}

}  // namespace nacrelle::tools
