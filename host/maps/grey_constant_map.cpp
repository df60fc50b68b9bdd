// The constant grey map: one value everywhere.
#include "builtin_class_desc.h"
#include "maps/grey_maps.h"

namespace standin {

ClassDesc2* GreyConstantDesc() {
    static detail::BuiltinClassDesc desc(L"Grey Constant", L"GreyConstant", TEXMAP_CLASS_ID,
                                         kGreyConstantClassID, L"Standard", true,
                                         []() -> Animatable* { return new GreyConstantMap(); });
    // clang-format off
    static ParamBlockDesc2 block(
        0, L"parameters", detail::IDS_BUILTIN_CONSTANT_TITLE, &desc, P_AUTO_CONSTRUCT, 0,
        constant_value, L"value", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_VALUE,
            p_default, 0.0, p_range, -1000.0, 1000.0, p_end,
        p_end);
    // clang-format on
    return &desc;
}

GreyConstantMap::GreyConstantMap() : GreyMap(GreyConstantDesc()) { Initialise(); }

RefTargetHandle GreyConstantMap::Clone(RemapDir& remap) {
    auto* clone = new GreyConstantMap();
    CloneInto(clone, remap);
    return clone;
}

void GreyConstantMap::CacheValues(IParamBlock2& block, TimeValue t, Interval& valid) {
    block.GetValue(constant_value, t, value_, valid);
}

float GreyConstantMap::MonoAt(ShadeContext&) const { return value_; }

}  // namespace standin
