#include <imtl.h>
#include <maps/shade_context.h>
#include <sdk/render_evaluation.h>

#include "app/render/parallel_rows.h"
#include "app/render/progress_bar.h"
#include "app/render/render.h"
#include "app/render/swatch_geometry.h"

namespace nacrelle::tools {

namespace {

// Linear greys of the background squares.
constexpr Rgba kCheckerLight{0.5f, 0.5f, 0.5f, 1.0f};
constexpr Rgba kCheckerDark{0.2f, 0.2f, 0.2f, 1.0f};

Point3 toPoint(const Vec3& v) { return Point3(v.x, v.y, v.z); }

}  // namespace

Image renderSwatch(Texmap& map, TimeValue t, const RenderOptions& options) {
    Interval valid = FOREVER;
    map.Update(t, valid);

    // Every pixel is written below, the sphere's and the background's.
    Image image(options.width, options.height, Image::Unfilled{});
    const SwatchCamera camera(options.width, options.height);
    ProgressBar progress("rendering", options.height);

    // Evaluation only reads the map, so rows run in parallel; each thread
    // shades with its own context.
    auto renderRow = [&](int y) {
        if (options.stop && options.stop()) return;
        const standin::RenderEvaluationScope evaluating;
        standin::RenderShadeContext sc;
        sc.SetTime(t);
        sc.SetCameraPosition(Point3(0.0f, 0.0f, kCameraDistance));
        for (int x = 0; x < options.width; ++x) {
            const SwatchSample s = camera.sample(x, y);
            if (!s.hitsSphere) {
                image.at(x, y) = s.checkerLight ? kCheckerLight : kCheckerDark;
                continue;
            }
            sc.SetSample(toPoint(s.normal), toPoint(s.view), toPoint(s.position), toPoint(s.uvw));
            const AColor c = map.EvalColor(sc);
            image.at(x, y) = {c.r, c.g, c.b, 1.0f};
        }
    };
    if (options.showProgress) {
        forEachRow(options.height, options.threads, renderRow,
                   [&](int done) { progress.update(done); });
    } else {
        forEachRow(options.height, options.threads, renderRow);
    }
    return image;
}

}  // namespace nacrelle::tools
