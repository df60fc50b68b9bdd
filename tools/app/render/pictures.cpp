#include "app/render/pictures.h"

#include <imtl.h>
#include <png/png_codec.h>
#include <scene/scene.h>
#include <sdk/remap_dir.h>

#include <algorithm>

#include "app/render/render.h"
#include "app/session/host_session.h"
#include "app/session/map_panels.h"
#include "common/errors.h"

namespace nacrelle::tools {

int draftSwatchSize(int swatchSize) { return std::max(1, swatchSize / 2); }

Image renderPicture(Texmap& map, Picture picture, const PictureSizes& sizes,
                    const std::function<bool()>& stop) {
    if (picture == Picture::Viewport) return renderViewport(map, kPanelTime, sizes.viewport);
    if (picture != Picture::Chart) {
        const int size = picture == Picture::Swatch ? sizes.swatch : draftSwatchSize(sizes.swatch);
        return renderSwatch(map, kPanelTime, {size, size, sizes.threads, false, stop});
    }
    // The chart sets the thickness range and plugs in its own gradient,
    // so it draws a copy of the map.
    standin::CloneOnceRemapDir remap;
    standin::Scene holder;
    auto* copy = static_cast<Texmap*>(remap.CloneRef(&map));
    if (copy == nullptr || !holder.Add(copy)) throw Failure("the map could not be copied");
    ChartOptions options;
    options.width = sizes.chartWidth;
    options.height = sizes.chartHeight;
    options.scale = sizes.chartScale;
    options.threads = sizes.threads;
    options.stop = stop;
    return renderChart(*copy, kPanelTime, options);
}

std::vector<std::uint8_t> defaultSwatchPng(HostSession& session, int size, int threads) {
    Texmap& fresh = session.createMap();
    const Image icon = renderSwatch(fresh, kPanelTime, {size, size, threads, false, {}});
    session.scene().Clear();
    return encodePng(icon, PngEncoding{8, true, threads});
}

std::vector<std::uint8_t> pixelsToPng(int width, int height,
                                      const std::vector<std::uint8_t>& pixels) {
    return standin::EncodePngRgba(width, height, 8, true, pixels);
}

}  // namespace nacrelle::tools
