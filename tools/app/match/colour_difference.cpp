#include "app/match/colour_difference.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/errors.h"

namespace nacrelle::tools {
namespace {

/// Owns a profile until the transforms that use it are built.
struct Profile {
    cmsHPROFILE handle;
    explicit Profile(cmsHPROFILE h) : handle(h) {
        if (handle == nullptr) throw Failure("LittleCMS could not build a colour profile");
    }
    ~Profile() { cmsCloseProfile(handle); }
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;
};

/// Linear sRGB: LittleCMS's own sRGB profile (its primaries and white)
/// with straight tone curves in place of the sRGB encoding.
cmsHPROFILE linearSrgbProfile() {
    cmsHPROFILE profile = cmsCreate_sRGBProfile();
    if (profile == nullptr) return nullptr;
    cmsToneCurve* straight = cmsBuildGamma(nullptr, 1.0);
    const bool written = straight != nullptr &&
                         cmsWriteTag(profile, cmsSigRedTRCTag, straight) &&
                         cmsWriteTag(profile, cmsSigGreenTRCTag, straight) &&
                         cmsWriteTag(profile, cmsSigBlueTRCTag, straight);
    if (straight != nullptr) cmsFreeToneCurve(straight);
    if (!written) {
        cmsCloseProfile(profile);
        return nullptr;
    }
    return profile;
}

void* transform(const Profile& from, cmsUInt32Number fromFormat, const Profile& to,
                cmsUInt32Number toFormat) {
    // No cache: the transforms are shared by threads.
    cmsHTRANSFORM made = cmsCreateTransform(from.handle, fromFormat, to.handle, toFormat,
                                            INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE);
    if (made == nullptr) throw Failure("LittleCMS could not build a colour transform");
    return made;
}

template <typename Out, typename In>
Out run(void* transform, const In& in) {
    const double input[3] = {in.r, in.g, in.b};
    double output[3];
    cmsDoTransform(static_cast<cmsHTRANSFORM>(transform), input, output, 1);
    return Out{output[0], output[1], output[2]};
}

}  // namespace

double deltaE2000(const Lab& first, const Lab& second) {
    const cmsCIELab one{first.L, first.a, first.b};
    const cmsCIELab two{second.L, second.a, second.b};
    return cmsCIE2000DeltaE(&one, &two, 1.0, 1.0, 1.0);
}

ColourConversions::ColourConversions() {
    const Profile linear(linearSrgbProfile());
    const Profile encoded(cmsCreate_sRGBProfile());
    const Profile lab(cmsCreateLab4Profile(nullptr));  // D50
    linearToLab_ = transform(linear, TYPE_RGB_DBL, lab, TYPE_Lab_DBL);
    encodedToLab_ = transform(encoded, TYPE_RGB_DBL, lab, TYPE_Lab_DBL);
    encodedToLinear_ = transform(encoded, TYPE_RGB_DBL, linear, TYPE_RGB_DBL);
    linearToEncoded_ = transform(linear, TYPE_RGB_DBL, encoded, TYPE_RGB_DBL);
}

ColourConversions::~ColourConversions() {
    for (void* made : {linearToLab_, encodedToLab_, encodedToLinear_, linearToEncoded_}) {
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(made));
    }
}

Lab ColourConversions::labOfLinear(const Rgb& linear) const { return run<Lab>(linearToLab_, linear); }

Lab ColourConversions::labOfEncoded(const Rgb& encoded) const {
    return run<Lab>(encodedToLab_, encoded);
}

Rgb ColourConversions::linearOfEncoded(const Rgb& encoded) const {
    return run<Rgb>(encodedToLinear_, encoded);
}

Rgb ColourConversions::encodedOfLinear(const Rgb& linear) const {
    return run<Rgb>(linearToEncoded_, linear);
}

std::string hexOfEncoded(const Rgb& encoded) {
    auto byte = [](double value) {
        return static_cast<unsigned>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
    };
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", byte(encoded.r), byte(encoded.g),
                  byte(encoded.b));
    return text;
}

}  // namespace nacrelle::tools
