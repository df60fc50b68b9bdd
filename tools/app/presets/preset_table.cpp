// The presets: real coatings as the map's parameters, with the indices and
// thicknesses each one uses and where they come from.
//
// Parameters are named by their script names; the two thickness rows by the
// names of thickness_rows.h, which cross over.
//
// The map's physical-optics options shape these numbers:
// - Oxides on a metal (titanium, niobium, steel) lie on the metal itself
//   ("basemetal"), whose complex index absorbs, with exact phases; their
//   thicknesses are the real films'.
// - A film whose index lies between its neighbours (the lens coating, the
//   beetle's chitin) takes exact phases ("physicalphase"): the
//   three-wavelength model's half-wave terms would shift its colour by a
//   quarter wave of thickness.
// - Films that run to a micrometre and more (the bubble, the oil slick) take
//   the spectral colour ("spectral"), so that their thick parts fade to the
//   pale grey of a real film instead of keeping full-strength fringes; so
//   do the beetle and the coatings whose hue must follow the real spectrum.
// - The pearl keeps the three-wavelength model (650, 510 and 475 nm).
// No preset turns the hue: the colours come from the film. Gamma,
// saturation and output filter settings serve the look, and each note says
// what they stand in for.
#include "app/presets/presets.h"

#include "app/session/thickness_rows.h"

namespace nacrelle::tools {

// clang-format off: one row of values per preset
const std::vector<Preset>& allPresets() {
    static const std::vector<Preset> presets{
        {
            "soap-bubble",
            "Soap film in air: thin pastel bands of magenta, cyan, gold and green on a pale film",
            {{"nmedium", 1.0}, {"nfilm", 1.33}, {"ninternal", 1.0},
             {kMinRowScriptName, 120.0}, {kMaxRowScriptName, 1500.0}, {"gamma", 0.4}, {"spectral", 1.0}},
            "noise",
            {{"size", 0.7}, {"levels", 2.0}, {"thresholdlow", 0.2}, {"thresholdhigh", 0.8}},
            {},
            "air, n 1.00",
            "soapy water, n 1.33: water is 1.333 at 589 nm (CRC Handbook of Chemistry and "
            "Physics; Hecht, \"Optics\")",
            "air, n 1.00",
            "120 to 1500 nm through noise: a bubble's film is coloured from about 100 nm (its "
            "first-order silvery white) to about a micrometre, and fades to white beyond "
            "(Isenberg, \"The Science of Soap Films and Soap Bubbles\"); the noise's thresholds "
            "0.2 and 0.8 spread it over the whole range, so that its contours draw thin bands",
            "spectral colour: the film's higher orders fade to pastel and then to white as it "
            "thickens, as a real bubble's do. Gamma 0.4 lifts the film's weak reflection (at "
            "most about 8%) to the pale pastel a bubble shows",
        },
        {
            "oil-on-water",
            "Oil slick on dark water: saturated rainbow bands where the oil is thick enough",
            {{"nmedium", 1.0}, {"nfilm", 1.47}, {"ninternal", 1.333},
             {kMinRowScriptName, 20.0}, {kMaxRowScriptName, 2000.0}, {"sat", 40.0}, {"spectral", 1.0}},
            "noise",
            {{"size", 0.6}, {"levels", 2.0}, {"thresholdlow", 0.45}, {"thresholdhigh", 0.85}},
            {{"rgblevel", 4.0}, {"rgboffset", -0.075}, {"clamp", 1.0}},
            "air, n 1.00",
            "mineral oil, n 1.47 (CRC Handbook of Chemistry and Physics)",
            "water, n 1.333 at 589 nm (CRC Handbook of Chemistry and Physics; Hecht, \"Optics\")",
            "20 to 2000 nm through noise: where the noise lies below 0.45 the oil is 20 nm "
            "thin, practically bare water; above it the film runs through the rainbow, which a "
            "slick shows from 0.3 to 5 micrometres, with a grey sheen from 0.04 to 0.3 "
            "micrometre (Bonn Agreement Oil Appearance Code)",
            "the output filter's level 4 and offset -0.075 (clamped) take away the 2% bare water "
            "reflects and stretch the rest, so that the bands show on dark water; saturation +40 "
            "deepens them. Spectral colour: past about a micrometre the bands fade to the grey "
            "sheen of thick oil, as a real slick's do",
        },
        {
            "anodised-titanium",
            "Titanium anodised blue: an oxide film on the metal",
            {{"nmedium", 1.0}, {"nfilm", 2.5}, {"basemetal", 7.0}, {"spectral", 1.0},
             {kMinRowScriptName, 48.0}, {kMaxRowScriptName, 48.0}},
            "",
            {},
            {},
            "air, n 1.00",
            "titanium dioxide, n 2.5: anatase is 2.49 to 2.56 at 589 nm (CRC Handbook of "
            "Chemistry and Physics)",
            "titanium metal, n + ik from Johnson and Christy 1974 (about 2.5 + 3.4i at 550 nm; "
            "the map's Titanium base)",
            "48 nm: as its oxide grows, anodised titanium turns bronze, purple, deep blue and "
            "light blue; with titanium's measured index the map gives the purple at about "
            "35 nm, the deep blue at 45 to 50 nm and the light blue at 60 nm, head on",
            "spectral colour on the metal itself: the blue needs no colour adjustment. A metal's "
            "spectrum is summed wavelength by wavelength, which costs about twice as much as "
            "a dielectric film's",
        },
        {
            "anodised-niobium",
            "Niobium anodised gold: a thicker oxide, after the first-order blue",
            {{"nmedium", 1.0}, {"nfilm", 2.3}, {"basemetal", 8.0}, {"spectral", 1.0},
             {kMinRowScriptName, 130.0}, {kMaxRowScriptName, 130.0}},
            "",
            {},
            {},
            "air, n 1.00",
            "niobium pentoxide, n 2.3 (Macleod, \"Thin-Film Optical Filters\", coating "
            "materials)",
            "niobium metal, n + ik from Weaver, Lynch and Olson 1973 (the map's Niobium base)",
            "130 nm: past the first-order blue (about 60 nm) the oxide turns through pale blue "
            "to gold, as the reflectance's minimum moves from the red through the green into the "
            "blue; the map gives the most saturated gold at 130 nm head on (at 120 nm the "
            "minimum still lies near 500 nm, and the gold reads as a pale khaki)",
            "spectral colour on the metal itself: the gold needs no colour adjustment. A metal's "
            "spectrum is summed wavelength by wavelength, which costs about twice as much as "
            "a dielectric film's",
        },
        {
            "lens-coating",
            "Single-layer anti-reflection coating: magnesium fluoride on crown glass, a faint "
            "violet reflex",
            {{"nmedium", 1.0}, {"nfilm", 1.38}, {"ninternal", 1.52},
             {kMinRowScriptName, 99.6}, {kMaxRowScriptName, 99.6}, {"physicalphase", 1.0},
             {"spectral", 1.0}},
            "",
            {},
            {{"rgblevel", 6.0}, {"rgboffset", -0.07}, {"clamp", 1.0}},
            "air, n 1.00",
            "magnesium fluoride, n 1.38 (Hecht, \"Optics\"; Macleod, \"Thin-Film Optical "
            "Filters\")",
            "crown glass, n 1.52 (Hecht, \"Optics\")",
            "99.6 nm = 550 / (4 x 1.38): a quarter wave at 550 nm, where the coating reflects "
            "1.3% against bare glass's 4.3% (Macleod, \"Thin-Film Optical Filters\"; Hecht, "
            "\"Optics\"). Exact phases: the film index lies between air's and glass's, where "
            "half-wave terms would shift the film by a quarter wave",
            "spectral colour: the coating reflects most at both ends of the spectrum, which "
            "gives its violet reflex. The output filter's level 6 and offset -0.07 (clamped) "
            "take away most of the 1.2 to 1.7% the coating reflects at every wavelength, so "
            "that its tint shows on dark glass",
        },
        {
            "tempered-steel",
            "Heat tint on tempered steel: straw, brown, purple and blue up the surface",
            {{"nmedium", 1.0}, {"nfilm", 2.42}, {"basemetal", 6.0}, {"spectral", 1.0},
             {kMinRowScriptName, 15.0}, {kMaxRowScriptName, 62.0}},
            "gradient",
            {{"axis", 1.0}, {"start", 0.0}, {"end", 1.0}},
            {},
            "air, n 1.00",
            "iron oxide (magnetite), n 2.42 (CRC Handbook of Chemistry and Physics)",
            "steel, as iron: n + ik from Johnson and Christy 1974 (the map's Iron base)",
            "15 to 62 nm along V: the temper colours of steel heated from about 220 to 300 C, "
            "straw, brown, purple and blue (Machinery's Handbook, tempering), come from an "
            "oxide some 20 to 60 nm thick",
            "spectral colour on the metal itself: the colours need no adjustment. A metal's "
            "spectrum is summed wavelength by wavelength, which costs about twice as much as "
            "a dielectric film's",
        },
        {
            "pearl",
            "Nacre: a pale rose lustre turning green towards the rim",
            {{"nmedium", 1.0}, {"nfilm", 1.68}, {"ninternal", 1.43},
             {kMinRowScriptName, 440.0}, {kMaxRowScriptName, 500.0}, {"gamma", 0.27}, {"sat", -5.0}},
            "noise",
            {{"size", 0.3}, {"levels", 2.0}},
            {},
            "air, n 1.00",
            "aragonite, n 1.68 (its middle index; CRC Handbook of Chemistry and Physics)",
            "organic matrix between the tablets, about 1.43 (Land, \"The physics and biology of "
            "animal reflectors\")",
            "440 to 500 nm through fine noise, where the map gives a pink turning green with "
            "angle: nacre's tablets are about 0.3 to 0.5 micrometre thick (Kinoshita, "
            "\"Structural Colors in the Realm of Nature\")",
            "gamma 0.27 and saturation -5: many stacked tablets reflect more, and more evenly, "
            "than the one film the map models",
        },
        {
            "beetle-shell",
            "Jewel beetle: metallic green turning blue, then violet, towards the rim",
            {{"nmedium", 1.0}, {"nfilm", 1.56}, {"ninternal", 2.0},
             {kMinRowScriptName, 335.0}, {kMaxRowScriptName, 335.0}, {"gamma", 0.6}, {"sat", 70.0},
             {"physicalphase", 1.0}, {"spectral", 1.0}},
            "",
            {},
            {},
            "air, n 1.00",
            "chitin, n 1.56 (Land, \"The physics and biology of animal reflectors\"; Kinoshita, "
            "\"Structural Colors in the Realm of Nature\")",
            "melanin-rich cuticle, about 2.0 (Kinoshita, \"Structural Colors in the Realm of "
            "Nature\")",
            "335 nm: a chitin layer between air and the denser cuticle reflects most where its "
            "round trip 2 n d is a whole number of wavelengths (no half-wave shift, the film "
            "index lying between its neighbours); 2 x 1.56 x 335 nm is twice 523 nm, a "
            "second-order green. Towards grazing the round trip shortens and the green passes "
            "through blue to violet",
            "exact phases and the spectral colour: the green, blue and violet need no hue shift. "
            "Gamma 0.6 and saturation +70: a beetle's stack of many layers reflects far more "
            "strongly and purely than the one film the map models",
        },
    };
    return presets;
}
// clang-format on

}  // namespace nacrelle::tools
