// Colours as people compare them: CIELAB (D50, where ICC profiles meet) and
// the CIEDE2000 difference, all through LittleCMS. Colours of the map are
// linear sRGB; colours people type or pick are encoded sRGB.
#pragma once

#include <string>

namespace nacrelle::tools {

struct Lab {
    double L, a, b;
};

/// Red, green and blue in [0, 1], linear or encoded as the name says.
struct Rgb {
    double r, g, b;
};

/// The CIEDE2000 difference of two colours, with the standard weights
/// (kL = kC = kH = 1). Below 1 most people see no difference.
double deltaE2000(const Lab& first, const Lab& second);

/// The profiles and transforms between linear sRGB, encoded sRGB and Lab.
/// Built once; its conversions may run on several threads at once.
class ColourConversions {
public:
    /// A Failure when LittleCMS cannot build a profile or transform.
    ColourConversions();
    ~ColourConversions();
    ColourConversions(const ColourConversions&) = delete;
    ColourConversions& operator=(const ColourConversions&) = delete;

    Lab labOfLinear(const Rgb& linear) const;
    Lab labOfEncoded(const Rgb& encoded) const;
    Rgb linearOfEncoded(const Rgb& encoded) const;
    Rgb encodedOfLinear(const Rgb& linear) const;

private:
    void* linearToLab_;
    void* encodedToLab_;
    void* encodedToLinear_;
    void* linearToEncoded_;
};

/// "#rrggbb" of an encoded colour, each channel clamped to [0, 1] and
/// rounded to 8 bits as the PNG writer rounds it.
std::string hexOfEncoded(const Rgb& encoded);

}  // namespace nacrelle::tools
