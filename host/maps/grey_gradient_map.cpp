// The gradient grey map: a ramp along U or V.
#include "builtin_class_desc.h"
#include "maps/grey_maps.h"

namespace standin {

ClassDesc2* GreyGradientDesc() {
    static detail::BuiltinClassDesc desc(L"Grey Gradient", L"GreyGradient", TEXMAP_CLASS_ID,
                                         kGreyGradientClassID, L"Standard", true,
                                         []() -> Animatable* { return new GreyGradientMap(); });
    // clang-format off
    static ParamBlockDesc2 block(
        0, L"parameters", detail::IDS_BUILTIN_GRADIENT_TITLE, &desc, P_AUTO_CONSTRUCT, 0,
        gradient_start, L"start", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_START,
            p_default, 0.0, p_range, -1000.0, 1000.0, p_end,
        gradient_end, L"end", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_END,
            p_default, 1.0, p_range, -1000.0, 1000.0, p_end,
        gradient_axis, L"axis", TYPE_INT, 0, detail::IDS_BUILTIN_AXIS,
            p_default, 0, p_range, 0, 1, p_end,
        p_end);
    // clang-format on
    return &desc;
}

GreyGradientMap::GreyGradientMap() : GreyMap(GreyGradientDesc()) { Initialise(); }

RefTargetHandle GreyGradientMap::Clone(RemapDir& remap) {
    auto* clone = new GreyGradientMap();
    CloneInto(clone, remap);
    return clone;
}

void GreyGradientMap::CacheValues(IParamBlock2& block, TimeValue t, Interval& valid) {
    int axis = 0;
    block.GetValue(gradient_start, t, start_, valid);
    block.GetValue(gradient_end, t, end_, valid);
    block.GetValue(gradient_axis, t, axis, valid);
    axis_ = axis == 1 ? 1 : 0;
}

float GreyGradientMap::MonoAt(ShadeContext& sc) const {
    const Point3 uvw = sc.UVW(kGreyMapChannel);
    float c = axis_ == 1 ? uvw.y : uvw.x;
    if (!(c > 0.0f)) {
        c = 0.0f;  // also a NaN coordinate
    } else if (c > 1.0f) {
        c = 1.0f;
    }
    // Exactly start at c = 0 and exactly end at c = 1.
    return (1.0f - c) * start_ + c * end_;
}

}  // namespace standin
