// How a panel shows numbers and object names.
#include <cmath>

#include "imtl.h"
#include "panel_text.h"
#include "params/param_access.h"

namespace standin::detail {

std::string DisplayNameOf(ReferenceTarget* object) {
    if (!object) return "None";
    if (auto* base = dynamic_cast<MtlBase*>(object); base && !base->GetName().isNull()) {
        return base->GetName().ToUTF8();
    }
    MSTR name;
    object->GetClassName(name, true);
    return name.isNull() ? std::string("(unnamed)") : name.ToUTF8();
}

std::string NumberText(double value) {
    if (std::nearbyint(value) == value && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    return FormatFloat(static_cast<float>(value));
}

}  // namespace standin::detail
