// The built-in classes' descriptor and the host's own string table for their names.
#include "builtin_class_desc.h"

namespace standin::detail {

const MCHAR* BuiltinString(INT_PTR id) {
    switch (id) {
        case IDS_BUILTIN_PARAMETERS:
            return L"Parameters";
        case IDS_BUILTIN_OUTPUT_AMOUNT:
            return L"Output Amount";
        case IDS_BUILTIN_RGB_LEVEL:
            return L"RGB Level";
        case IDS_BUILTIN_RGB_OFFSET:
            return L"RGB Offset";
        case IDS_BUILTIN_INVERT:
            return L"Invert";
        case IDS_BUILTIN_CLAMP:
            return L"Clamp";
        case IDS_BUILTIN_ALPHA_FROM_RGB:
            return L"Alpha from RGB Intensity";
        case IDS_BUILTIN_START:
            return L"Start";
        case IDS_BUILTIN_END:
            return L"End";
        case IDS_BUILTIN_AXIS:
            return L"Axis (0 = U, 1 = V)";
        case IDS_BUILTIN_SIZE:
            return L"Size";
        case IDS_BUILTIN_LEVELS:
            return L"Levels";
        case IDS_BUILTIN_THRESHOLD_LOW:
            return L"Low Threshold";
        case IDS_BUILTIN_THRESHOLD_HIGH:
            return L"High Threshold";
        case IDS_BUILTIN_PHASE:
            return L"Phase";
        case IDS_BUILTIN_TILING_U:
            return L"U Tiling";
        case IDS_BUILTIN_TILING_V:
            return L"V Tiling";
        case IDS_BUILTIN_VALUE:
            return L"Value";
        case IDS_BUILTIN_OUTPUT_TITLE:
            return L"Output";
        case IDS_BUILTIN_GRADIENT_TITLE:
            return L"Gradient Parameters";
        case IDS_BUILTIN_NOISE_TITLE:
            return L"Noise Parameters";
        case IDS_BUILTIN_BITMAP_TITLE:
            return L"Bitmap Parameters";
        case IDS_BUILTIN_CONSTANT_TITLE:
            return L"Constant Parameters";
        default:
            return nullptr;
    }
}

IOResult SaveBaseChunk(MtlBase& mtl, ISave* isave) {
    isave->BeginChunk(kBuiltinBaseChunk);
    const IOResult result = mtl.MtlBase::Save(isave);
    isave->EndChunk();
    return result;
}

}  // namespace standin::detail
