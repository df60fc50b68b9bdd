// Rendering the map: the sample sphere (the swatch) and the thin-film chart.
#pragma once

#include <functional>
#include <string>

#include <platform/atomic_file.h>

#include "app/session/host_types.h"

#include "app/render/image.h"


namespace nacrelle::tools {

struct RenderOptions {
    int width = 512;
    int height = 512;
    int threads = 0;         ///< 0: one per core
    bool showProgress = true;
    /// Asked before each row; once it answers true the remaining rows are
    /// skipped and the image is left incomplete (the caller discards it).
    std::function<bool()> stop;
};

/// The map on a sphere over a checker background at time t. The map is
/// updated for t first; then every pixel is evaluated, in parallel.
Image renderSwatch(Texmap& map, TimeValue t, const RenderOptions& options);

/// The largest side of a viewport texture.
inline constexpr int kMaxViewportSide = 4096;

/// What the interactive viewport shows of the map at time t: the texture of
/// `size` pixels a side that the map makes through the viewport's handle
/// maker (the colour seen head on across its UV space, v upwards), decoded
/// from its 8-bit values. The map's display is turned on for it and off
/// again, which releases the texture. A Failure when the map shows nothing.
Image renderViewport(Texmap& map, TimeValue t, int size);

struct ChartOptions {
    float thicknessFrom = 0.0f;     ///< nm, left edge
    float thicknessTo = 1000.0f;    ///< nm, right edge
    /// Lets the range run past the thickness parameters' through map values
    /// above 1, as a thickness map's can; otherwise such a range is refused.
    bool throughMapValues = false;
    int width = 800;
    int height = 560;
    /// Text, margins and lines this many times their size (1 to 4): 2 for
    /// a screen of twice the pixels, where the chart shows at half its size.
    int scale = 1;
    int threads = 0;
    /// Marks the fringe orders (app/match/fringe_order.h): where each begins,
    /// dotted across the plot, and their numbers along the thickness axis.
    bool orders = false;
    /// As RenderOptions::stop.
    std::function<bool()> stop;
};

/// The classic chart: film thickness along x, viewing angle (0 to 90 degrees,
/// upwards) along y, coloured by the map, with labelled axes and a caption
/// of the settings. The map's thickness limits are set to the chart's range
/// and a gradient across the plot drives the thickness.
Image renderChart(Texmap& map, TimeValue t, const ChartOptions& options);

/// Two charts side by side in `options.width`: the three-wavelength model
/// on the left and the spectral colour on the right, so that one sees what
/// the spectrum changes. Needs a module with the spectral option.
Image renderChartComparison(Texmap& map, TimeValue t, const ChartOptions& options);

/// Writes `image` as a PNG file, replacing `path` only once complete and as
/// `policy` allows; "-" writes it to standard output.
void writeImage(const Image& image, const std::string& path, const PngEncoding& encoding,
                const standin::WritePolicy& policy);

/// Writes `image` as a PNG file into `stream`, the pipe or device `path`
/// opened ahead (standin::OpenStreamTarget).
void writeImage(const Image& image, standin::ByteSink& stream, const std::string& path,
                const PngEncoding& encoding);

/// Throws a BadValue when `path` (an -o value) does not end in .png; "-"
/// (standard output) and names under which no file would be stored (a pipe,
/// a device) pass.
void checkPngName(const std::string& path);

}  // namespace nacrelle::tools
