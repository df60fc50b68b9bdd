// A source of the PNG layer. Compiled as it is, it includes the platform
// beneath it and must build; with FAULT set, it includes the maps above it,
// which its include path must not find.
#include "platform/utf16.h"
#include "png/png_codec.h"

#if FAULT == 1
#include "maps/grey_maps.h"
#endif

std::string PngLayerCheck() { return standin::WideToUtf8(L"layer"); }
