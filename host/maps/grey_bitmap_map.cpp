// The bitmap grey map: a greyscale PNG image, tiled in U and V.
#include "builtin_class_desc.h"
#include "sdk/host_file_names.h"
#include "maps/grey_maps.h"
#include "png/png_grey_reader.h"

namespace standin {

ClassDesc2* GreyBitmapDesc() {
    static detail::BuiltinClassDesc desc(L"Grey Bitmap", L"GreyBitmap", TEXMAP_CLASS_ID,
                                         kGreyBitmapClassID, L"Standard", true,
                                         []() -> Animatable* { return new GreyBitmapMap(); });
    // clang-format off
    static ParamBlockDesc2 block(
        0, L"parameters", detail::IDS_BUILTIN_BITMAP_TITLE, &desc, P_AUTO_CONSTRUCT, 0,
        bitmap_tiling_u, L"tilingu", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_TILING_U,
            p_default, 1.0, p_range, -1000.0, 1000.0, p_end,
        bitmap_tiling_v, L"tilingv", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_TILING_V,
            p_default, 1.0, p_range, -1000.0, 1000.0, p_end,
        p_end);
    // clang-format on
    return &desc;
}

GreyBitmapMap::GreyBitmapMap() : GreyMap(GreyBitmapDesc()) { Initialise(); }

RefTargetHandle GreyBitmapMap::Clone(RemapDir& remap) {
    auto* clone = new GreyBitmapMap();
    CloneInto(clone, remap);
    clone->fileName_ = fileName_;
    clone->image_ = image_;
    clone->imageError_ = imageError_;
    return clone;
}

bool GreyBitmapMap::SetFileName(const MSTR& fileName, std::string& error) {
    GreyImage image;
    if (!fileName.isNull() && !ReadPngGreyFile(NarrowFileName(fileName), image, error)) {
        return false;
    }
    fileName_ = fileName;
    image_ = std::move(image);
    imageError_.clear();
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    return true;
}

void GreyBitmapMap::CacheValues(IParamBlock2& block, TimeValue t, Interval& valid) {
    block.GetValue(bitmap_tiling_u, t, tilingU_, valid);
    block.GetValue(bitmap_tiling_v, t, tilingV_, valid);
}

float GreyBitmapMap::MonoAt(ShadeContext& sc) const {
    const Point3 uvw = sc.UVW(kGreyMapChannel);
    return SampleBilinearTiled(image_, uvw.x * tilingU_, uvw.y * tilingV_);
}

IOResult GreyBitmapMap::SaveOwnChunks(ISave* isave) {
    isave->BeginChunk(kGreyBitmapFileNameChunk);
    const IOResult result = isave->WriteWString(fileName_.data());
    isave->EndChunk();
    return result;
}

IOResult GreyBitmapMap::LoadOwnChunk(ILoad* iload, USHORT id) {
    if (id != kGreyBitmapFileNameChunk) return IO_OK;  // written by a later version
    MCHAR* text = nullptr;
    if (iload->ReadWStringChunk(text) != IO_OK) return IO_ERROR;
    fileName_ = text;
    image_ = GreyImage();
    imageError_.clear();
    if (!fileName_.isNull()) ReadPngGreyFile(NarrowFileName(fileName_), image_, imageError_);
    return IO_OK;
}

}  // namespace standin
