#include "app/session/thickness_map_kinds.h"

#include <maps/grey_maps.h>

namespace nacrelle::tools {
namespace {

const ThicknessMapKind kKinds[] = {
    {"gradient", "Gradient", false, standin::GreyGradientDesc},
    {"noise", "Noise", false, standin::GreyNoiseDesc},
    {"bitmap", "Greyscale PNG", true, standin::GreyBitmapDesc},
};

}  // namespace

std::span<const ThicknessMapKind> ThicknessMapKinds() { return kKinds; }

const ThicknessMapKind* FindThicknessMapKind(std::string_view name) {
    for (const ThicknessMapKind& kind : kKinds) {
        if (name == kind.name) return &kind;
    }
    return nullptr;
}

const ThicknessMapKind* ThicknessMapKindOf(const Class_ID& id) {
    for (const ThicknessMapKind& kind : kKinds) {
        if (kind.desc()->ClassID() == id) return &kind;
    }
    return nullptr;
}

}  // namespace nacrelle::tools
