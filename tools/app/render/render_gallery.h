// The preset gallery: one contact sheet with a swatch of every preset,
// each labelled with its name.
#pragma once

#include "app/render/image.h"

namespace nacrelle::tools {

class HostSession;

struct GalleryOptions {
    int swatchSize = 208;  ///< pixels a side: room for every name in the large font
    int columns = 4;
    int threads = 0;  ///< render threads per swatch (0: one per core)
};

struct GallerySize {
    int width, height;
};

/// The sheet's size in pixels for `options`.
GallerySize gallerySize(const GalleryOptions& options);

/// Renders every preset on a new map of `session`, in the presets' order,
/// left to right and top to bottom.
Image renderGallery(HostSession& session, const GalleryOptions& options);

}  // namespace nacrelle::tools
