#include <imtl.h>
#include <iparamb2.h>
#include <sdk/class_directory.h>
#include <maps/grey_maps.h>
#include <params/param_access.h>
#include <maps/shade_context.h>
#include <sdk/render_evaluation.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "common/errors.h"
#include "app/match/fringe_order.h"
#include "app/render/font.h"
#include "app/session/map_optics.h"
#include "app/session/map_params.h"
#include "app/render/parallel_rows.h"
#include "app/render/render.h"

namespace nacrelle::tools {

namespace {

constexpr int kMarginLeft = 64;
constexpr int kMarginRight = 24;
constexpr int kMarginTop = 44;
constexpr int kMarginBottom = 52;
constexpr int kTickLength = 4;
constexpr double kMaxAngle = 90.0;
constexpr double kAngleStep = 15.0;
// The gradient map's largest value, and so the furthest a chart reaches.
constexpr double kMaxMapValueReach = 1000.0;

double niceStep(double span) {
    for (double step : {10.0, 20.0, 25.0, 50.0, 100.0, 200.0, 250.0, 500.0, 1000.0, 2000.0,
                        2500.0, 5000.0, 10000.0}) {
        if (span / step <= 10.0) return step;
    }
    return 10000.0;
}

/// The settings the chart does not show on its axes: every float parameter
/// of the module's block but the two thicknesses, by script name.
std::vector<std::string> captionItems(IParamBlock2& block, const MapParamIds& ids, TimeValue t) {
    const OpticsOptions optics = readOptics(block, t);
    std::vector<std::string> items{opticsText(block, optics)};
    const ParamBlockDesc2& desc = *block.GetDesc();
    for (int i = 0; i < desc.Count(); ++i) {
        const ParamDef* def = desc.FindParamDef(desc.IndextoID(i));
        if (def == nullptr || def->type != TYPE_FLOAT || def->ID == ids.thicknessMin ||
            def->ID == ids.thicknessMax) {
            continue;
        }
        // On a metal base the inner index takes no part: the caption names
        // only what the chart shows.
        if (def->ID == ids.nInternal && optics.baseMetal != kBaseDielectric) continue;
        const std::string name = def->int_name.ToUTF8();
        standin::ScriptValue value;
        std::string error;
        if (!standin::GetParamByScriptName(block, name, t, value, error)) continue;
        items.push_back(name + " " + value.ToText());
    }
    return items;
}

/// `items` in lines of at most `width` pixels, two spaces apart; an item
/// wider than a line gets a line of its own.
std::vector<std::string> wrapItems(const std::vector<std::string>& items, int width, int scale) {
    std::vector<std::string> lines;
    for (const std::string& item : items) {
        if (!lines.empty() && textWidth(lines.back() + "  " + item, scale) <= width) {
            lines.back() += "  " + item;
        } else {
            lines.push_back(item);
        }
    }
    return lines;
}

/// The settings line above the plot: wrapped onto as many lines as the room
/// above the angle axis's title holds, widened to the whole image when that
/// is not enough, and cut short (with "...") only as a last resort.
void drawCaption(Image& image, const std::vector<std::string>& items, int scale) {
    const int top = 8 * scale;
    const int edge = 6 * scale;
    const int lineCount = (kMarginTop - 14 - 8) / kGlyphLineHeight;
    std::vector<std::string> lines =
        wrapItems(items, image.width() - (kMarginLeft + kMarginRight) * scale, scale);
    int x = kMarginLeft * scale;
    if (static_cast<int>(lines.size()) > lineCount) {
        x = edge;
        lines = wrapItems(items, image.width() - 2 * edge, scale);
    }
    if (static_cast<int>(lines.size()) > lineCount) {
        lines.resize(static_cast<std::size_t>(lineCount));
        std::string& last = lines.back();
        while (!last.empty() && textWidth(last + "...", scale) > image.width() - x - edge) {
            last.pop_back();
        }
        last += "...";
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        drawText(image, x, top + static_cast<int>(i) * kGlyphLineHeight * scale, lines[i],
                 kFigureInk, scale);
    }
}

void setThickness(IParamBlock2& block, ParamID id, float value) {
    const ParamDef* def = block.GetDesc()->FindParamDef(id);
    if (def != nullptr && def->has_range && (value < def->range_low.f || value > def->range_high.f)) {
        throw BadValue("chart thickness " + standin::FormatFloat(value) + " is outside the range " +
                         standin::FormatFloat(def->range_low.f) + " to " +
                         standin::FormatFloat(def->range_high.f) + " nm");
    }
    block.SetValue(id, 0, value);
}

// The map value the chart's right edge needs: 1 when the range fits the
// thickness parameter or must, else the whole number of its spans the range
// takes from its start (a start past the parameter's range stays an error).
float mapValueReach(IParamBlock2& block, ParamID thicknessMax, const ChartOptions& o) {
    const ParamDef* def = block.GetDesc()->FindParamDef(thicknessMax);
    if (!o.throughMapValues || def == nullptr || !def->has_range ||
        o.thicknessTo <= def->range_high.f ||
        !(o.thicknessFrom < def->range_high.f)) {
        return 1.0f;
    }
    const double reach = std::ceil((static_cast<double>(o.thicknessTo) - o.thicknessFrom) /
                                   (def->range_high.f - o.thicknessFrom));
    return static_cast<float>(std::min(reach, kMaxMapValueReach));
}

void drawAxes(Image& image, const ChartOptions& o, int plotW, int plotH) {
    const int s = o.scale;
    const int left = kMarginLeft * s;
    const int top = kMarginTop * s;
    const int bottom = top + plotH;
    const int tick = kTickLength * s;
    // Lines `s` pixels thick, outside the plot.
    for (int t = 0; t < s; ++t) {
        for (int x = left - s; x <= left + plotW; ++x) image.set(x, bottom + t, kFigureInk);
        for (int y = top; y <= bottom; ++y) image.set(left - 1 - t, y, kFigureInk);
    }

    const double span = o.thicknessTo - o.thicknessFrom;
    const double step = niceStep(std::abs(span));
    const double first = std::ceil(std::min(o.thicknessFrom, o.thicknessTo) / step) * step;
    for (double value = first; value <= std::max(o.thicknessFrom, o.thicknessTo) + 1e-6;
         value += step) {
        const int x = left + static_cast<int>(std::lround((value - o.thicknessFrom) / span * plotW));
        for (int i = 1; i <= tick; ++i) {
            for (int t = 0; t < s; ++t) image.set(x + t, bottom + s - 1 + i, kFigureInk);
        }
        const std::string label = standin::FormatFloat(static_cast<float>(value));
        drawText(image, x - textWidth(label, s) / 2, bottom + tick + 4 * s, label, kFigureInk, s);
    }
    for (double angle = 0.0; angle <= kMaxAngle + 1e-9; angle += kAngleStep) {
        const int y = bottom - static_cast<int>(std::lround(angle / kMaxAngle * plotH));
        for (int i = 1; i <= tick; ++i) {
            for (int t = 0; t < s; ++t) image.set(left - s - i, y + t, kFigureInk);
        }
        const std::string label = standin::FormatFloat(static_cast<float>(angle));
        drawText(image, left - tick - 6 * s - textWidth(label, s), y - 3 * s, label, kFigureInk, s);
    }
    const std::string xTitle =
        o.orders ? "film thickness (nm), fringe orders dotted" : "film thickness (nm)";
    drawText(image, left + (plotW - textWidth(xTitle, s)) / 2, bottom + 26 * s, xTitle, kFigureInk,
             s);
    drawText(image, 6 * s, top - 14 * s, "angle (deg)", kFigureInk, s);
}

/// The angle (degrees) of the plot's row `row`, at its centre, as the
/// chart evaluates it.
double rowAngle(int row, int plotH) {
    return (static_cast<double>(plotH - row) - 0.5) / plotH * kMaxAngle;
}

/// Where each fringe order begins, dotted across the plot (the thickness of
/// a boundary grows with the angle), and each order's number along the
/// thickness axis, on a patch of the ground, where head on it is wide
/// enough to hold it.
void drawOrders(Image& image, const ChartOptions& o, int plotW, int plotH, double nMedium,
                double nFilm) {
    const int s = o.scale;
    const int plotLeft = kMarginLeft * s, plotTop = kMarginTop * s;
    const double span = o.thicknessTo - o.thicknessFrom;
    const double thickest = std::max(o.thicknessFrom, o.thicknessTo);
    const double thinnest = std::min(o.thicknessFrom, o.thicknessTo);
    auto column = [&](double thickness) { return (thickness - o.thicknessFrom) / span * plotW; };
    for (int order = 2; orderStartThickness(order, 0.0, nMedium, nFilm) <= thickest; ++order) {
        for (int row = 0; row < plotH; row += 2) {
            const double d = orderStartThickness(order, rowAngle(row, plotH), nMedium, nFilm);
            if (!(d >= thinnest && d <= thickest)) continue;
            const long x = std::lround(column(d) - 0.5);
            if (x >= 0 && x < plotW) {
                image.set(plotLeft + static_cast<int>(x), plotTop + row, kFigureInk);
            }
        }
    }
    const int labelY = plotTop + plotH - (kGlyphLineHeight + 2) * s;
    for (int order = 1; orderStartThickness(order, 0.0, nMedium, nFilm) <= thickest; ++order) {
        const double start = std::max(thinnest, orderStartThickness(order, 0.0, nMedium, nFilm));
        const double end = std::min(thickest, orderStartThickness(order + 1, 0.0, nMedium, nFilm));
        const std::string label = std::to_string(order);
        const double left = std::min(column(start), column(end));
        const double right = std::max(column(start), column(end));
        const int width = textWidth(label, s);
        if (right - left < width + 6 * s) continue;
        const int x = plotLeft + static_cast<int>(std::lround((left + right) / 2.0)) - width / 2;
        for (int y = labelY - 2 * s; y < labelY + kGlyphLineHeight * s; ++y) {
            for (int dx = -2 * s; dx < width + s; ++dx) image.set(x + dx, y, kFigureBackground);
        }
        drawText(image, x, labelY, label, kFigureInk, s);
    }
}

// Sets one of the map's optics options; a module without it cannot compare.
void setOption(IParamBlock2& block, const char* scriptName, int value, TimeValue t) {
    std::string error;
    if (!standin::SetParamByScriptName(block, scriptName, value, t, error)) {
        throw Failure("the chart cannot compare the optics: " + error);
    }
}

}  // namespace

Image renderChartComparison(Texmap& map, TimeValue t, const ChartOptions& options) {
    IParamBlock2& block = *map.GetParamBlock(0);
    ChartOptions half = options;
    half.width = options.width / 2;
    // Left the three-wavelength model, every option off; right the same
    // film from its spectrum, with the map's phases and base.
    const OpticsOptions chosen = readOptics(block, t);
    setOption(block, "spectral", 0, t);
    setOption(block, "physicalphase", 0, t);
    setOption(block, "basemetal", kBaseDielectric, t);
    const Image model = renderChart(map, t, half);
    setOption(block, "spectral", 1, t);
    setOption(block, "physicalphase", chosen.physicalPhase ? 1 : 0, t);
    setOption(block, "basemetal", chosen.baseMetal, t);
    const Image spectral = renderChart(map, t, half);

    Image both(options.width, options.height, kFigureBackground);
    for (int y = 0; y < options.height; ++y) {
        for (int x = 0; x < half.width; ++x) {
            both.at(x, y) = model.at(x, y);
            both.at(options.width - half.width + x, y) = spectral.at(x, y);
        }
    }
    return both;
}

Image renderChart(Texmap& map, TimeValue t, const ChartOptions& options) {
    const int s = options.scale;
    if (s < 1 || s > 4) throw BadValue("chart scale " + std::to_string(s) + " is not 1 to 4");
    const int plotW = options.width - (kMarginLeft + kMarginRight) * s;
    const int plotH = options.height - (kMarginTop + kMarginBottom) * s;
    if (plotW < 16 || plotH < 16) {
        throw BadValue("chart size " + std::to_string(options.width) + "x" +
                         std::to_string(options.height) + " is too small (at least " +
                         std::to_string((kMarginLeft + kMarginRight) * s + 16) + "x" +
                         std::to_string((kMarginTop + kMarginBottom) * s + 16) + ")");
    }

    // The thickness across the plot comes from a gradient in U through the
    // map's own thickness blend, so the chart shows exactly what the map does.
    IParamBlock2& block = *map.GetParamBlock(0);
    const MapParamIds ids = FindMapParamIds(block);
    // A range past the thickness parameters' goes on through map values
    // above 1, as a thickness map's can: the gradient runs from 0 to `reach`
    // and the two thicknesses span 1 / reach of the range.
    const float reach = mapValueReach(block, ids.thicknessMax, options);
    setThickness(block, ids.thicknessMin, options.thicknessFrom);
    setThickness(block, ids.thicknessMax,
                 options.thicknessFrom + (options.thicknessTo - options.thicknessFrom) / reach);
    auto* gradient = static_cast<Texmap*>(standin::CreateInstance(standin::GreyGradientDesc()));
    if (gradient == nullptr) throw Failure("the host could not create a gradient map");
    map.SetSubTexmap(0, gradient);
    std::string error;
    if (reach != 1.0f &&
        !standin::SetParamByScriptName(*gradient->GetParamBlock(0), "end", reach, t, error)) {
        throw Failure("the chart cannot reach " + standin::FormatFloat(options.thicknessTo) +
                      " nm: " + error);
    }
    block.SetValue(ids.thicknessMapEnabled, t, TRUE);

    Interval valid = FOREVER;
    map.Update(t, valid);

    Image image(options.width, options.height, kFigureBackground);
    forEachRow(plotH, options.threads, [&](int row) {
        if (options.stop && options.stop()) return;
        const standin::RenderEvaluationScope evaluating;
        standin::RenderShadeContext sc;
        sc.SetTime(t);
        const double angle = rowAngle(row, plotH) * std::numbers::pi / 180.0;
        const Point3 normal(0.0f, 0.0f, 1.0f);
        const Point3 view(static_cast<float>(std::sin(angle)), 0.0f,
                          static_cast<float>(-std::cos(angle)));
        for (int column = 0; column < plotW; ++column) {
            const float u = (static_cast<float>(column) + 0.5f) / static_cast<float>(plotW);
            sc.SetSample(normal, view, Point3(), Point3(u, 0.0f, 0.0f));
            const AColor c = map.EvalColor(sc);
            image.at(kMarginLeft * s + column, kMarginTop * s + row) = {c.r, c.g, c.b, 1.0f};
        }
    });

    if (options.orders) {
        Interval valid = FOREVER;
        float nMedium = 0.0f, nFilm = 0.0f;
        block.GetValue(ids.nMedium, t, nMedium, valid);
        block.GetValue(ids.nFilm, t, nFilm, valid);
        drawOrders(image, options, plotW, plotH, nMedium, nFilm);
    }
    drawAxes(image, options, plotW, plotH);
    drawCaption(image, captionItems(block, ids, t), s);
    return image;
}

}  // namespace nacrelle::tools
