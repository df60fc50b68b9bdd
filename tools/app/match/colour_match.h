// Colour first: the constant films whose colour, as the map renders it, is
// closest to a target colour by CIEDE2000. The search evaluates a copy of
// the loaded map, so that everything the map does after the film (hue,
// saturation, gamma, the output filter) counts as it does in a render.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/match/colour_difference.h"
#include "app/session/host_types.h"

namespace nacrelle::tools {

struct MapSettings;

/// An index parameter searched too, by script name, over [from, to].
struct IndexRange {
    std::string name;  ///< nmedium, nfilm or ninternal
    double from, to;
};

struct MatchRequest {
    Lab target;
    double angleDegrees = 0.0;  ///< from the normal, 0 to 90
    double thicknessFrom = 0.0;  ///< nm
    double thicknessTo = 3000.0;
    std::optional<IndexRange> vary;
    int count = 5;  ///< candidates listed
};

struct MatchCandidate {
    float thickness;     ///< nm
    float nMedium, nFilm;  ///< the indices of the film found (the varied one included)
    float variedIndex;   ///< the varied index's value, when one is varied
    double opticalPath;  ///< nm, fringe_order.h
    int order;
    double deltaE;       ///< CIEDE2000 to the target
    Rgb colour;          ///< linear, as the map renders the film at the angle
    /// When every thickness from `sameColourFrom` to `sameColourTo` (nm)
    /// gives this same colour, as where an output filter clips: the
    /// thickness is then their middle. Both 0 otherwise.
    double sameColourFrom, sameColourTo;
};

struct MatchResult {
    std::vector<MatchCandidate> candidates;  ///< best first
    int localBests = 0;  ///< distinct local bests the search found
};

/// "exact" below a CIEDE2000 of 1 (most people see no difference), "close"
/// below 3 (seen side by side), "far" above.
const char* judgementOf(double deltaE);

/// A BadValue when the request does not fit `map`: a range empty or outside
/// the parameter's own, an index other than nmedium, nfilm or ninternal, the
/// internal index while a metal base hides it.
void checkMatchRequest(Texmap& map, TimeValue t, const MatchRequest& request);

/// The best local bests of the search, each refined, for `map` at time t.
MatchResult findMatches(Texmap& map, TimeValue t, const MatchRequest& request,
                        const ColourConversions& conversions);

/// The settings that make `map` the candidate's constant film: its
/// thickness in the "Min:" row, the thickness map switched off (and kept),
/// and the varied index.
MapSettings candidateSettings(const MatchCandidate& candidate,
                              const std::optional<IndexRange>& vary);

}  // namespace nacrelle::tools
