// The noise grey map: gradient noise between two thresholds.
#include "builtin_class_desc.h"
#include "maps/gradient_noise.h"
#include "maps/grey_maps.h"

namespace standin {

ClassDesc2* GreyNoiseDesc() {
    static detail::BuiltinClassDesc desc(L"Grey Noise", L"GreyNoise", TEXMAP_CLASS_ID,
                                         kGreyNoiseClassID, L"Standard", true,
                                         []() -> Animatable* { return new GreyNoiseMap(); });
    // clang-format off
    static ParamBlockDesc2 block(
        0, L"parameters", detail::IDS_BUILTIN_NOISE_TITLE, &desc, P_AUTO_CONSTRUCT, 0,
        noise_size, L"size", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_SIZE,
            p_default, 0.5, p_range, 0.0001, 1000000.0, p_end,
        noise_levels, L"levels", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_LEVELS,
            p_default, 3.0, p_range, 1.0, kMaxNoiseLevels, p_end,
        noise_threshold_low, L"thresholdlow", TYPE_FLOAT, P_ANIMATABLE,
            detail::IDS_BUILTIN_THRESHOLD_LOW, p_default, 0.0, p_range, 0.0, 1.0, p_end,
        noise_threshold_high, L"thresholdhigh", TYPE_FLOAT, P_ANIMATABLE,
            detail::IDS_BUILTIN_THRESHOLD_HIGH, p_default, 1.0, p_range, 0.0, 1.0, p_end,
        noise_phase, L"phase", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_PHASE,
            p_default, 0.0, p_range, -10000.0, 10000.0, p_end,
        p_end);
    // clang-format on
    return &desc;
}

GreyNoiseMap::GreyNoiseMap() : GreyMap(GreyNoiseDesc()) { Initialise(); }

RefTargetHandle GreyNoiseMap::Clone(RemapDir& remap) {
    auto* clone = new GreyNoiseMap();
    CloneInto(clone, remap);
    return clone;
}

void GreyNoiseMap::CacheValues(IParamBlock2& block, TimeValue t, Interval& valid) {
    block.GetValue(noise_size, t, size_, valid);
    block.GetValue(noise_levels, t, levels_, valid);
    block.GetValue(noise_threshold_low, t, low_, valid);
    block.GetValue(noise_threshold_high, t, high_, valid);
    block.GetValue(noise_phase, t, phase_, valid);
    // Keys are not limited to the range: keep the division finite.
    if (!(size_ >= 0.0001f)) size_ = 0.0001f;
}

float GreyNoiseMap::MonoAt(ShadeContext& sc) const {
    const Point3 p = sc.P();
    const double n =
        FractalNoise4(p.x / static_cast<double>(size_), p.y / static_cast<double>(size_),
                      p.z / static_cast<double>(size_), phase_, levels_);
    double v = 0.5 * (n + 1.0);
    const double low = low_ < high_ ? low_ : high_;
    const double high = low_ < high_ ? high_ : low_;
    if (high > low) {
        v = (v - low) / (high - low);
    } else {
        v = v < low ? 0.0 : 1.0;
    }
    if (v < 0.0) v = 0.0;
    if (v > 1.0) v = 1.0;
    return static_cast<float>(v);
}

}  // namespace standin
