#include "app/match/colour_match.h"

#include <imtl.h>
#include <iparamb2.h>
#include <maps/grey_maps.h>
#include <maps/shade_context.h>
#include <params/param_access.h>
#include <scene/scene.h>
#include <sdk/class_directory.h>
#include <sdk/remap_dir.h>
#include <sdk/render_evaluation.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "app/match/fringe_order.h"
#include "app/render/sample.h"
#include "app/session/json_values.h"
#include "app/session/map_optics.h"
#include "app/session/map_params.h"
#include "app/session/map_settings.h"
#include "app/session/thickness_rows.h"
#include "common/errors.h"

namespace nacrelle::tools {
namespace {

/// The finest step of the varied index: a hundredth moves the optical path
/// of a 3000 nm film by a tenth of a wave, which each index's thickness
/// search takes up, so that no valley falls between two indices.
constexpr double kIndexStep = 0.01;
/// The most index values searched: a wide range is searched more coarsely.
constexpr int kMaxIndexRows = 400;
/// The most thickness samples of the varied search's grid, in all: about a
/// second's work. Films of a high index need fine thickness steps, and then
/// fewer indices are searched.
constexpr double kMaxGridSamples = 2.0e6;
/// The thickness step, at most: colours change over tens of nanometres.
constexpr double kMaxThicknessStep = 1.0;
/// Steps per colour cycle of the shortest visible wavelength (380 nm), so
/// that two local bests of one cycle always lie steps apart.
constexpr double kStepsPerCycle = 32.0;
constexpr double kShortestWavelength = 380.0;
/// How closely a local best is refined, in nm and in index.
constexpr double kThicknessTolerance = 1e-3;
constexpr double kIndexTolerance = 1e-5;
/// Two row bests of the varied search belong to one valley of the (index,
/// thickness) plane when their fringe orders (in waves) lie this close.
constexpr double kValleyGap = 0.05;
/// Two refined bests closer than this (nm) are one.
constexpr double kSameThickness = 0.05;

Vec3 viewAt(double angleDegrees) {
    const double angle = angleDegrees * std::numbers::pi / 180.0;
    return {static_cast<float>(std::sin(angle)), 0.0f, static_cast<float>(-std::cos(angle))};
}

constexpr Vec3 kNormal{0.0f, 0.0f, 1.0f};

const ParamDef& paramNamed(IParamBlock2& block, std::string_view name) {
    const ParamDef* def = standin::FindParamByScriptName(block, name);
    if (def == nullptr) {
        throw Failure("the module's map has no parameter \"" + std::string(name) + "\"");
    }
    return *def;
}

float floatAt(IParamBlock2& block, ParamID id, TimeValue t) {
    float value = 0.0f;
    Interval valid = FOREVER;
    block.GetValue(id, t, value, valid);
    return value;
}

void checkRange(const ParamDef& def, double from, double to, const std::string& what) {
    if (!(from < to)) {
        throw BadValue(what + " " + formatNumber(from) + ":" + formatNumber(to) +
                       " is an empty range (FROM must lie below TO)");
    }
    // Compared as the floats the parameter holds: "0.2" is its bound 0.2f.
    if (def.has_range &&
        (static_cast<float>(from) < def.range_low.f || static_cast<float>(to) > def.range_high.f)) {
        throw BadValue(what + " " + formatNumber(from) + ":" + formatNumber(to) +
                       " leaves the parameter's range " + floatText(def.range_low.f) + " to " +
                       floatText(def.range_high.f));
    }
}

/// The minimum of `f` on [lo, hi] by golden-section search, to `tolerance`;
/// `value` receives f there.
template <typename F>
double goldenMinimum(F&& f, double lo, double hi, double tolerance, double& value) {
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double x1 = hi - ratio * (hi - lo), x2 = lo + ratio * (hi - lo);
    double f1 = f(x1), f2 = f(x2);
    while (hi - lo > tolerance) {
        if (f1 <= f2) {
            hi = x2;
            x2 = x1;
            f2 = f1;
            x1 = hi - ratio * (hi - lo);
            f1 = f(x1);
        } else {
            lo = x1;
            x1 = x2;
            f1 = f2;
            x2 = lo + ratio * (hi - lo);
            f2 = f(x2);
        }
    }
    const double x = f1 <= f2 ? x1 : x2;
    value = std::min(f1, f2);
    return x;
}

/// A local minimum of a grid of values: a run of equal values (often one)
/// lower than both its neighbours or the ends.
struct GridMinimum {
    std::size_t first, last;
};

std::vector<GridMinimum> localMinima(const std::vector<double>& values) {
    std::vector<GridMinimum> minima;
    std::size_t start = 0;
    while (start < values.size()) {
        std::size_t end = start;
        while (end + 1 < values.size() && values[end + 1] == values[start]) ++end;
        const bool belowLeft = start == 0 || values[start - 1] > values[start];
        const bool belowRight = end + 1 == values.size() || values[end + 1] > values[start];
        if (belowLeft && belowRight) minima.push_back({start, end});
        start = end + 1;
    }
    return minima;
}

/// A copy of the map whose film thickness the search sets sample by sample:
/// a gradient across U drives it through the map's own thickness blend over
/// the searched range, so that every evaluation is a render's evaluation.
class FilmProbe {
public:
    FilmProbe(Texmap& map, TimeValue t, const MatchRequest& request,
              const ColourConversions& conversions)
        : t_(t), from_(request.thicknessFrom), to_(request.thicknessTo),
          view_(viewAt(request.angleDegrees)), target_(request.target),
          conversions_(conversions) {
        standin::CloneOnceRemapDir remap;
        copy_ = static_cast<Texmap*>(remap.CloneRef(&map));
        if (copy_ == nullptr || !holder_.Add(copy_)) throw Failure("the map could not be copied");
        block_ = copy_->GetParamBlock(0);
        ids_ = FindMapParamIds(*block_);
        block_->SetValue(ids_.thicknessMin, t, static_cast<float>(from_));
        block_->SetValue(ids_.thicknessMax, t, static_cast<float>(to_));
        auto* gradient =
            static_cast<Texmap*>(standin::CreateInstance(standin::GreyGradientDesc()));
        if (gradient == nullptr) throw Failure("the host could not create a gradient map");
        copy_->SetSubTexmap(0, gradient);
        block_->SetValue(ids_.thicknessMapEnabled, t, TRUE);
        if (request.vary) variedId_ = paramNamed(*block_, request.vary->name).ID;
        update();
    }

    /// Sets the varied index (the map updates).
    void setIndex(double value) {
        block_->SetValue(variedId_, t_, static_cast<float>(value));
        update();
    }
    float nMedium() { return floatAt(*block_, ids_.nMedium, t_); }
    float nFilm() { return floatAt(*block_, ids_.nFilm, t_); }

    /// CIEDE2000 between the target and the film `thickness` nm thick.
    double deltaE(double thickness) const {
        const standin::RenderEvaluationScope evaluating;
        standin::RenderShadeContext sc;
        sc.SetTime(t_);
        const float u = static_cast<float>((thickness - from_) / (to_ - from_));
        sc.SetSample(Point3(kNormal.x, kNormal.y, kNormal.z), Point3(view_.x, view_.y, view_.z),
                     Point3(), Point3(u, 0.0f, 0.0f));
        const AColor c = copy_->EvalColor(sc);
        return deltaE2000(target_, conversions_.labOfLinear({c.r, c.g, c.b}));
    }

private:
    void update() {
        Interval valid = FOREVER;
        copy_->Update(t_, valid);
    }

    TimeValue t_;
    double from_, to_;
    Vec3 view_;
    Lab target_;
    const ColourConversions& conversions_;
    standin::Scene holder_;  // owns the copy
    Texmap* copy_ = nullptr;
    IParamBlock2* block_ = nullptr;
    MapParamIds ids_{};
    ParamID variedId_ = 0;
};

struct Best {
    double index;  ///< the varied index (unused without one)
    double thickness;
    double deltaE;
    double waves;  ///< optical path in waves, to tell valleys apart
    /// The grid's thicknesses of the same colour around it, when several.
    double sameFrom = 0.0, sameTo = 0.0;
};

/// The thickness grid's step for a film of index `nFilm`.
double thicknessStep(double nFilm) {
    const double cycle = kShortestWavelength / (2.0 * std::max(1.0, nFilm));
    return std::min(kMaxThicknessStep, cycle / kStepsPerCycle);
}

/// Every local best over the thickness range at the probe's current
/// indices, each refined.
std::vector<Best> thicknessBests(FilmProbe& probe, const MatchRequest& request, double index) {
    const double nMedium = probe.nMedium(), nFilm = probe.nFilm();
    const double span = request.thicknessTo - request.thicknessFrom;
    const auto steps = static_cast<std::size_t>(std::ceil(span / thicknessStep(nFilm)));
    const double step = span / static_cast<double>(steps);
    std::vector<double> errors(steps + 1);
    for (std::size_t i = 0; i <= steps; ++i) {
        errors[i] = probe.deltaE(request.thicknessFrom + step * static_cast<double>(i));
    }
    std::vector<Best> bests;
    for (const GridMinimum& minimum : localMinima(errors)) {
        auto at = [&](std::size_t i) { return request.thicknessFrom + step * static_cast<double>(i); };
        Best best{index, 0.0, errors[minimum.first], 0.0};
        if (minimum.first != minimum.last) {
            // A flat run: every thickness of it gives the same colour (an
            // output filter that clips, say); its middle stands for it.
            best.thickness = at((minimum.first + minimum.last) / 2);
            best.sameFrom = at(minimum.first);
            best.sameTo = at(minimum.last);
        } else {
            const std::size_t i = minimum.first;
            double deltaE = 0.0;
            const double d = goldenMinimum([&](double x) { return probe.deltaE(x); },
                                           at(i == 0 ? 0 : i - 1), at(std::min(i + 1, steps)),
                                           kThicknessTolerance, deltaE);
            // The grid point itself, when the bracket's interior is no
            // better (a best at either end of the range).
            best.thickness = errors[i] <= deltaE ? at(i) : d;
            best.deltaE = std::min(errors[i], deltaE);
        }
        best.waves = opticalPathDifference(best.thickness, request.angleDegrees, nMedium, nFilm) /
                     fringeWavelength();
        bests.push_back(best);
    }
    return bests;
}

/// Keeps the better of bests closer than kSameThickness at the same index.
std::vector<Best> distinct(std::vector<Best> bests) {
    std::sort(bests.begin(), bests.end(),
              [](const Best& a, const Best& b) { return a.deltaE < b.deltaE; });
    std::vector<Best> kept;
    for (const Best& best : bests) {
        const bool seen = std::any_of(kept.begin(), kept.end(), [&](const Best& other) {
            return std::abs(other.thickness - best.thickness) < kSameThickness &&
                   std::abs(other.index - best.index) < kIndexTolerance * 10.0;
        });
        if (!seen) kept.push_back(best);
    }
    return kept;
}

/// The varied search: the thickness search at every index of a grid; the
/// row bests of one valley (one optical path, along which the colour barely
/// changes) are one local best, refined in index and thickness together.
std::vector<Best> variedBests(FilmProbe& probe, const MatchRequest& request, int& valleys) {
    const IndexRange& vary = *request.vary;
    const double highestFilmIndex = vary.name == "nfilm" ? vary.to : probe.nFilm();
    const double samplesPerRow =
        (request.thicknessTo - request.thicknessFrom) / thicknessStep(highestFilmIndex) + 1.0;
    const int rows = std::clamp(
        static_cast<int>(std::min(std::ceil((vary.to - vary.from) / kIndexStep),
                                  std::floor(kMaxGridSamples / samplesPerRow) - 1.0)),
        1, kMaxIndexRows);
    const double indexStep = (vary.to - vary.from) / rows;
    std::vector<Best> rowBests;
    for (int row = 0; row <= rows; ++row) {
        const double index = vary.from + indexStep * row;
        probe.setIndex(index);
        const std::vector<Best> found = thicknessBests(probe, request, index);
        rowBests.insert(rowBests.end(), found.begin(), found.end());
    }
    // Valleys: runs of row bests whose orders lie close, in order of waves.
    std::sort(rowBests.begin(), rowBests.end(),
              [](const Best& a, const Best& b) { return a.waves < b.waves; });
    std::vector<Best> valleyBests;
    for (std::size_t i = 0; i < rowBests.size(); ++i) {
        if (i == 0 || rowBests[i].waves - rowBests[i - 1].waves > kValleyGap) {
            valleyBests.push_back(rowBests[i]);
        } else if (rowBests[i].deltaE < valleyBests.back().deltaE) {
            valleyBests.back() = rowBests[i];
        }
    }
    valleys = static_cast<int>(valleyBests.size());
    // Only the most promising valleys are refined: a valley's best already
    // lies within a grid step of its refined best, so refining reorders
    // little beyond them.
    valleyBests = distinct(std::move(valleyBests));
    if (valleyBests.size() > static_cast<std::size_t>(2 * request.count)) {
        valleyBests.resize(static_cast<std::size_t>(2 * request.count));
    }
    for (Best& best : valleyBests) {
        // Along the valley the optical path stays: the thickness to search
        // at another index is near the one that keeps it.
        probe.setIndex(best.index);
        const double pathPerNm =
            opticalPathDifference(1.0, request.angleDegrees, probe.nMedium(), probe.nFilm());
        const double path = pathPerNm * best.thickness;
        const double margin = 2.0 * thicknessStep(probe.nFilm());
        auto bestThicknessAt = [&](double index, double& deltaE) {
            probe.setIndex(index);
            const double perNm =
                opticalPathDifference(1.0, request.angleDegrees, probe.nMedium(), probe.nFilm());
            const double centre = perNm > 0.0 ? path / perNm : best.thickness;
            const double lo = std::max(request.thicknessFrom, centre - margin);
            const double hi = std::min(request.thicknessTo, centre + margin);
            if (!(lo < hi)) {
                deltaE = probe.deltaE(std::clamp(centre, request.thicknessFrom, request.thicknessTo));
                return std::clamp(centre, request.thicknessFrom, request.thicknessTo);
            }
            return goldenMinimum([&](double x) { return probe.deltaE(x); }, lo, hi,
                                 kThicknessTolerance, deltaE);
        };
        double deltaE = 0.0;
        const double index = goldenMinimum(
            [&](double n) {
                double error = 0.0;
                bestThicknessAt(n, error);
                return error;
            },
            std::max(vary.from, best.index - indexStep), std::min(vary.to, best.index + indexStep),
            kIndexTolerance, deltaE);
        if (deltaE < best.deltaE) {
            double error = 0.0;
            best.thickness = bestThicknessAt(index, error);
            best.index = index;
            best.deltaE = error;
        }
    }
    return valleyBests;
}

}  // namespace

const char* judgementOf(double deltaE) {
    if (deltaE < 1.0) return "exact";
    if (deltaE < 3.0) return "close";
    return "far";
}

void checkMatchRequest(Texmap& map, TimeValue t, const MatchRequest& request) {
    if (!(request.angleDegrees >= 0.0 && request.angleDegrees <= 90.0)) {
        throw BadValue("--angle " + formatNumber(request.angleDegrees) +
                       " is outside 0 to 90 degrees");
    }
    IParamBlock2& block = *map.GetParamBlock(0);
    checkRange(paramNamed(block, kMinRowScriptName), request.thicknessFrom, request.thicknessTo,
               "--thickness");
    if (!request.vary) return;
    const IndexRange& vary = *request.vary;
    if (vary.name != "nmedium" && vary.name != "nfilm" && vary.name != "ninternal") {
        throw BadValue("--vary " + vary.name +
                       ": only an index can be varied (nmedium, nfilm or ninternal)");
    }
    checkRange(paramNamed(block, vary.name), vary.from, vary.to, "--vary " + vary.name);
    if (vary.name == "ninternal" && readOptics(block, t).baseMetal != kBaseDielectric) {
        throw BadValue("--vary ninternal: the film lies on a metal base (basemetal), which "
                       "takes the internal index's place");
    }
}

MapSettings candidateSettings(const MatchCandidate& candidate,
                              const std::optional<IndexRange>& vary) {
    MapSettings settings;
    settings.values.push_back({std::string(kMinRowScriptName), floatText(candidate.thickness)});
    settings.values.push_back({"thicknessmapenabled", "off"});
    if (vary) settings.values.push_back({vary->name, floatText(candidate.variedIndex)});
    return settings;
}

MatchResult findMatches(Texmap& map, TimeValue t, const MatchRequest& request,
                        const ColourConversions& conversions) {
    checkMatchRequest(map, t, request);
    MatchResult result;
    std::vector<Best> bests;
    {
        FilmProbe probe(map, t, request, conversions);
        if (request.vary) {
            bests = variedBests(probe, request, result.localBests);
        } else {
            bests = thicknessBests(probe, request, 0.0);
        }
    }
    bests = distinct(std::move(bests));
    if (!request.vary) result.localBests = static_cast<int>(bests.size());
    if (bests.size() > static_cast<std::size_t>(request.count)) {
        bests.resize(static_cast<std::size_t>(request.count));
    }

    // Each candidate as the constant film it names, evaluated as `eval`
    // evaluates a map: its colour and difference are what a render shows.
    const Vec3 view = viewAt(request.angleDegrees);
    for (const Best& best : bests) {
        MatchCandidate candidate{};
        candidate.thickness = static_cast<float>(best.thickness);
        candidate.variedIndex = static_cast<float>(best.index);
        candidate.sameColourFrom = best.sameFrom;
        candidate.sameColourTo = best.sameTo;
        standin::CloneOnceRemapDir remap;
        standin::Scene holder;
        auto* copy = static_cast<Texmap*>(remap.CloneRef(&map));
        if (copy == nullptr || !holder.Add(copy)) throw Failure("the map could not be copied");
        applySettings(*copy, candidateSettings(candidate, request.vary), t);
        const SampleResult sample = evaluateSample(*copy, kNormal, view, t, false);
        IParamBlock2& block = *copy->GetParamBlock(0);
        const MapParamIds ids = FindMapParamIds(block);
        candidate.nMedium = floatAt(block, ids.nMedium, t);
        candidate.nFilm = floatAt(block, ids.nFilm, t);
        candidate.colour = {sample.r, sample.g, sample.b};
        candidate.deltaE = deltaE2000(request.target, conversions.labOfLinear(candidate.colour));
        candidate.opticalPath = opticalPathDifference(candidate.thickness, request.angleDegrees,
                                                      candidate.nMedium, candidate.nFilm);
        candidate.order = fringeOrderOfPath(candidate.opticalPath);
        result.candidates.push_back(candidate);
    }
    std::stable_sort(result.candidates.begin(), result.candidates.end(),
                     [](const MatchCandidate& a, const MatchCandidate& b) {
                         return a.deltaE < b.deltaE;
                     });
    return result;
}

}  // namespace nacrelle::tools
