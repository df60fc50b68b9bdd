#include "app/render/sample.h"

#include <imtl.h>
#include <maps/shade_context.h>
#include <sdk/render_evaluation.h>

#include "app/render/film_terms_report.h"
#include "app/session/map_settings.h"

namespace nacrelle::tools {

namespace {

Point3 toPoint(Vec3 v) { return Point3(v.x, v.y, v.z); }

}  // namespace

SampleResult evaluateSample(Texmap& map, Vec3 normal, Vec3 view, TimeValue t,
                            bool withTerms) {
    requireThicknessImage(map, t);
    Interval valid = FOREVER;
    map.Update(t, valid);

    standin::RenderShadeContext sc;
    sc.SetTime(t);
    SampleResult result{};
    {
        // One sample, evaluated as a render evaluates it.
        const standin::RenderEvaluationScope evaluating;
        sc.SetSample(toPoint(normal), toPoint(view), Point3(), Point3());
        const AColor colour = map.EvalColor(sc);
        sc.SetSample(toPoint(normal), toPoint(view), Point3(), Point3());
        result.mono = map.EvalMono(sc);
        result.r = colour.r;
        result.g = colour.g;
        result.b = colour.b;
        result.a = colour.a;
    }
    if (withTerms) {
        sc.SetSample(toPoint(normal), toPoint(view), Point3(), Point3());
        result.terms = filmTermsReport(map, sc, t);
    }
    return result;
}

}  // namespace nacrelle::tools
