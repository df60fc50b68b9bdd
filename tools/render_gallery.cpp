#include "tools/render_gallery.h"

#include <imtl.h>

#include <algorithm>

#include "tools/font.h"
#include "tools/host_session.h"
#include "tools/presets.h"
#include "tools/progress_bar.h"
#include "tools/render.h"

namespace nacrelle::tools {

namespace {

constexpr Rgba kBackground{0.02f, 0.02f, 0.025f, 1.0f};
constexpr Rgba kInk{0.8f, 0.8f, 0.8f, 1.0f};
constexpr int kMargin = 12;
constexpr int kGap = 12;
constexpr int kLabelGap = 6;

/// The largest font scale (up to 2) at which every preset's name fits under
/// its swatch, so that all labels share one size.
int labelScale(int swatchSize) {
    for (int scale = 2; scale > 1; --scale) {
        const bool fits =
            std::all_of(allPresets().begin(), allPresets().end(),
                        [&](const Preset& p) { return textWidth(p.name, scale) <= swatchSize; });
        if (fits) return scale;
    }
    return 1;
}

}  // namespace

GallerySize gallerySize(const GalleryOptions& options) {
    const int count = static_cast<int>(allPresets().size());
    const int columns = std::min(options.columns, count);
    const int rows = (count + columns - 1) / columns;
    const int cellHeight =
        options.swatchSize + kLabelGap + kGlyphLineHeight * labelScale(options.swatchSize);
    return {2 * kMargin + columns * options.swatchSize + (columns - 1) * kGap,
            2 * kMargin + rows * cellHeight + (rows - 1) * kGap};
}

Image renderGallery(HostSession& session, const GalleryOptions& options) {
    const GallerySize size = gallerySize(options);
    const int columns = std::min(options.columns, static_cast<int>(allPresets().size()));
    const int scale = labelScale(options.swatchSize);
    const int cellHeight = options.swatchSize + kLabelGap + kGlyphLineHeight * scale;

    Image sheet(size.width, size.height, kBackground);
    RenderOptions swatchOptions;
    swatchOptions.width = swatchOptions.height = options.swatchSize;
    swatchOptions.threads = options.threads;
    swatchOptions.showProgress = false;
    ProgressBar progress("gallery", static_cast<int>(allPresets().size()));

    int index = 0;
    for (const Preset& preset : allPresets()) {
        // Each preset on a map of its own, at its defaults but for the preset.
        Texmap& map = session.createMap();
        applyPreset(map, preset, 0);
        const Image swatch = renderSwatch(map, 0, swatchOptions);

        const int left = kMargin + (index % columns) * (options.swatchSize + kGap);
        const int top = kMargin + (index / columns) * (cellHeight + kGap);
        for (int y = 0; y < swatch.height(); ++y) {
            for (int x = 0; x < swatch.width(); ++x) sheet.at(left + x, top + y) = swatch.at(x, y);
        }
        drawText(sheet, left + (options.swatchSize - textWidth(preset.name, scale)) / 2,
                 top + options.swatchSize + kLabelGap, preset.name, kInk, scale);
        progress.update(++index);
    }
    return sheet;
}

}  // namespace nacrelle::tools
