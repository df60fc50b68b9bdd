#include "app/render/render_gallery.h"

#include <imtl.h>

#include <algorithm>

#include "app/render/font.h"
#include "app/session/host_session.h"
#include "app/presets/presets.h"
#include "app/session/map_settings.h"
#include "app/render/progress_bar.h"
#include "app/render/render.h"

namespace nacrelle::tools {

namespace {

constexpr int kMargin = 12;
constexpr int kGap = 12;
constexpr int kLabelGap = 6;

int widestName(int scale) {
    int widest = 0;
    for (const Preset& p : allPresets()) widest = std::max(widest, textWidth(p.name, scale));
    return widest;
}

/// Names are drawn twice the font's size where every one fits under its
/// swatch, so that all labels share one size.
int labelScale(int swatchSize) { return widestName(2) <= swatchSize ? 2 : 1; }

/// One swatch with its label: as wide as the swatch, or as the widest name
/// where small swatches leave no room for it.
struct Cell {
    int width, height, labelScale;
};

Cell cellOf(const GalleryOptions& options) {
    const int scale = labelScale(options.swatchSize);
    return {std::max(options.swatchSize, widestName(scale)),
            options.swatchSize + kLabelGap + kGlyphLineHeight * scale, scale};
}

}  // namespace

GallerySize gallerySize(const GalleryOptions& options) {
    const int count = static_cast<int>(allPresets().size());
    const int columns = std::min(options.columns, count);
    const int rows = (count + columns - 1) / columns;
    const Cell cell = cellOf(options);
    return {2 * kMargin + columns * cell.width + (columns - 1) * kGap,
            2 * kMargin + rows * cell.height + (rows - 1) * kGap};
}

Image renderGallery(HostSession& session, const GalleryOptions& options) {
    const GallerySize size = gallerySize(options);
    const int columns = std::min(options.columns, static_cast<int>(allPresets().size()));
    const Cell cell = cellOf(options);

    Image sheet(size.width, size.height, kFigureBackground);
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

        const int cellLeft = kMargin + (index % columns) * (cell.width + kGap);
        const int left = cellLeft + (cell.width - options.swatchSize) / 2;
        const int top = kMargin + (index / columns) * (cell.height + kGap);
        for (int y = 0; y < swatch.height(); ++y) {
            for (int x = 0; x < swatch.width(); ++x) sheet.at(left + x, top + y) = swatch.at(x, y);
        }
        drawText(sheet, cellLeft + (cell.width - textWidth(preset.name, cell.labelScale)) / 2,
                 top + options.swatchSize + kLabelGap, preset.name, kFigureInk, cell.labelScale);
        progress.update(++index);
    }
    return sheet;
}

}  // namespace nacrelle::tools
