// The presets: real coatings as the map's parameters, with the indices and
// thicknesses each one uses and where they come from.
//
// Parameters are named by their script names. The two thickness names cross
// over: "thicknessmax" is the thickness at map value 0 (the panel's "Min:"
// row, and the only thickness when no map drives it), "thicknessmin" the
// thickness at map value 1 ("Max:").
//
// Two things about the model shape these numbers:
// - It has no absorbing base. A metal is stood in for by the real index that
//   reflects as much at normal incidence, n = (1 + sqrt R) / (1 - sqrt R),
//   with R the metal's reflectance at 550 nm in air.
// - It adds half a wave to the phase whenever the film index lies between
//   the outer and inner indices (a film on glass, an oxide on a metal's high
//   stand-in index). Such a film shows in the map the colour a real film
//   about a quarter wave (550 / 4n nm) thinner shows; the thicknesses of
//   those presets are chosen for the colour the map gives, and say so.
// - It samples three wavelengths (650, 510 and 475 nm). A real film's
//   colours fade to pastel as it thickens and mix a whole spectrum; the
//   map's do not, and its green is a narrow band. The presets' gamma, hue,
//   saturation and output filter settings serve the look, and their notes
//   say what each one stands in for.
#include "tools/presets/presets.h"

namespace nacrelle::tools {

// clang-format off: one row of values per preset
const std::vector<Preset>& allPresets() {
    static const std::vector<Preset> presets{
        {
            "soap-bubble",
            "Soap film in air: thin pastel bands of magenta, cyan, gold and green on a pale film",
            {{"nmedium", 1.0}, {"nfilm", 1.33}, {"ninternal", 1.0},
             {"thicknessmax", 120.0}, {"thicknessmin", 700.0}, {"gamma", 0.4}},
            "noise",
            {{"size", 0.7}, {"levels", 2.0}, {"thresholdlow", 0.2}, {"thresholdhigh", 0.8}},
            {},
            "air, n 1.00",
            "soapy water, n 1.33: water is 1.333 at 589 nm (CRC Handbook of Chemistry and "
            "Physics; Hecht, \"Optics\")",
            "air, n 1.00",
            "120 to 700 nm through noise: a bubble's film is coloured from about 100 nm (its "
            "first-order silvery white) to about a micrometre (Isenberg, \"The Science of Soap "
            "Films and Soap Bubbles\"); the noise's thresholds 0.2 and 0.8 spread it over the "
            "whole range, so that its contours draw thin bands",
            "gamma 0.4 lifts the film's weak reflection (at most about 8%) to the pale pastel a "
            "bubble shows. The map samples three wavelengths, so its colours do not fade with "
            "thickness as a real film's higher orders do: the range stops at 700 nm, beyond "
            "which the map's olive and purple bands stay as strong as the thin film's",
        },
        {
            "oil-on-water",
            "Oil slick on dark water: saturated rainbow bands where the oil is thick enough",
            {{"nmedium", 1.0}, {"nfilm", 1.47}, {"ninternal", 1.333},
             {"thicknessmax", 20.0}, {"thicknessmin", 1000.0}, {"sat", 40.0}},
            "noise",
            {{"size", 0.6}, {"levels", 2.0}, {"thresholdlow", 0.45}, {"thresholdhigh", 0.85}},
            {{"rgblevel", 4.0}, {"rgboffset", -0.075}, {"clamp", 1.0}},
            "air, n 1.00",
            "mineral oil, n 1.47 (CRC Handbook of Chemistry and Physics)",
            "water, n 1.333 at 589 nm (CRC Handbook of Chemistry and Physics; Hecht, \"Optics\")",
            "20 to 1000 nm through noise: where the noise lies below 0.45 the oil is 20 nm "
            "thin, practically bare water; above it the film runs through the rainbow, which a "
            "slick shows from 0.3 to 5 micrometres, with a grey sheen from 0.04 to 0.3 "
            "micrometre (Bonn Agreement Oil Appearance Code)",
            "the output filter's level 4 and offset -0.075 (clamped) take away the 2% bare water "
            "reflects and stretch the rest, so that the bands show on dark water; saturation +40 "
            "deepens them. The map samples three wavelengths: past about a micrometre its colours "
            "stay saturated where a real slick's fade, so the range stops at 1000 nm",
        },
        {
            "anodised-titanium",
            "Titanium anodised blue: an oxide film on the metal",
            {{"nmedium", 1.0}, {"nfilm", 2.5}, {"ninternal", 7.4},
             {"thicknessmax", 125.0}, {"thicknessmin", 125.0}, {"gamma", 1.6}, {"sat", 30.0}},
            "",
            {},
            {},
            "air, n 1.00",
            "titanium dioxide, n 2.5: anatase is 2.49 to 2.56 at 589 nm (CRC Handbook of "
            "Chemistry and Physics)",
            "titanium metal (n about 2.5, k about 3.4 at 550 nm, reflectance about 58%; Palik, "
            "\"Handbook of Optical Constants of Solids\"), approximated by the non-absorbing "
            "n 7.4 that reflects as much",
            "125 nm, chosen for the colour: the map's blue of anodised titanium; a real film of "
            "that colour is about a quarter wave thinner",
            "gamma 1.6 and saturation +30 deepen the colour: the non-absorbing stand-in for the "
            "metal reflects much at every wavelength and pales the film's blue",
        },
        {
            "anodised-niobium",
            "Niobium anodised gold: a thicker oxide, second-order colour",
            {{"nmedium", 1.0}, {"nfilm", 2.3}, {"ninternal", 5.8},
             {"thicknessmax", 200.0}, {"thicknessmin", 200.0}, {"sat", 30.0}},
            "",
            {},
            {},
            "air, n 1.00",
            "niobium pentoxide, n 2.3 (Macleod, \"Thin-Film Optical Filters\", coating "
            "materials)",
            "niobium metal (reflectance about 50% at 550 nm; Palik, \"Handbook of Optical "
            "Constants of Solids\"), approximated by the non-absorbing n 5.8 that reflects as "
            "much",
            "200 nm, chosen for the colour: the map's second-order gold of anodised niobium; a "
            "real film of that colour is about a quarter wave thinner",
            "saturation +30: the non-absorbing stand-in for the metal pales the film's gold",
        },
        {
            "lens-coating",
            "Single-layer anti-reflection coating: magnesium fluoride on crown glass, a faint "
            "violet reflex",
            {{"nmedium", 1.0}, {"nfilm", 1.38}, {"ninternal", 1.52},
             {"thicknessmax", 199.3}, {"thicknessmin", 199.3}, {"hue", -45.0}},
            "",
            {},
            {{"rgblevel", 6.0}, {"rgboffset", -0.08}, {"clamp", 1.0}},
            "air, n 1.00",
            "magnesium fluoride, n 1.38 (Hecht, \"Optics\"; Macleod, \"Thin-Film Optical "
            "Filters\")",
            "crown glass, n 1.52 (Hecht, \"Optics\")",
            "199.3 nm = 550 / (2 x 1.38). A real coating is a quarter wave thick at 550 nm, "
            "550 / (4 x 1.38) = 99.6 nm, and reflects 1.3% there against bare glass's 4.3% "
            "(Macleod, \"Thin-Film Optical Filters\"; Hecht, \"Optics\"). The map adds half a "
            "wave for a film between air and glass, so it gives that 1.3% at 550 nm at twice "
            "the thickness; at 99.6 nm it reflects like bare glass",
            "the output filter's level 6 and offset -0.08 (clamped) take away most of the 1.3 "
            "to 2% the coating reflects at every wavelength, so that its tint shows on dark "
            "glass. A real coating's reflex is violet because it reflects most below about "
            "450 nm, where the map takes no sample (its blue is 475 nm): hue -45 turns the map's "
            "magenta towards that violet. At twice the real thickness the "
            "map's reflex also changes twice as fast with angle: it turns red and then white "
            "towards the rim, sooner than a real coating's",
        },
        {
            "tempered-steel",
            "Heat tint on tempered steel: straw, brown, purple and blue up the surface",
            {{"nmedium", 1.0}, {"nfilm", 2.42}, {"ninternal", 6.9},
             {"thicknessmax", 60.0}, {"thicknessmin", 165.0}, {"gamma", 1.2}, {"sat", -5.0}},
            "gradient",
            {{"axis", 1.0}, {"start", 0.0}, {"end", 1.0}},
            {},
            "air, n 1.00",
            "iron oxide (magnetite), n 2.42 (CRC Handbook of Chemistry and Physics)",
            "steel, as iron (n about 2.9, k about 3.4 at 550 nm, reflectance about 56%; Palik, "
            "\"Handbook of Optical Constants of Solids\"), approximated by the non-absorbing "
            "n 6.9 that reflects as much",
            "60 to 165 nm along V, chosen for the colours: the temper colours of steel heated "
            "from about 220 to 300 C, straw to blue (Machinery's Handbook, tempering); real "
            "films of those colours are about a quarter wave thinner",
            "gamma 1.2 and saturation -5 deepen and mute the colours towards those of oxide on "
            "steel; the map's middle band stays a crimson where real steel turns brown and "
            "purple",
        },
        {
            "pearl",
            "Nacre: a pale rose lustre turning green towards the rim",
            {{"nmedium", 1.0}, {"nfilm", 1.68}, {"ninternal", 1.43},
             {"thicknessmax", 440.0}, {"thicknessmin", 500.0}, {"gamma", 0.27}, {"sat", -5.0}},
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
             {"thicknessmax", 400.0}, {"thicknessmin", 400.0}, {"gamma", 0.6}, {"sat", 70.0},
             {"hue", -60.0}},
            "",
            {},
            {},
            "air, n 1.00",
            "chitin, n 1.56 (Land, \"The physics and biology of animal reflectors\"; Kinoshita, "
            "\"Structural Colors in the Realm of Nature\")",
            "melanin-rich cuticle, about 2.0 (Kinoshita, \"Structural Colors in the Realm of "
            "Nature\")",
            "400 nm, chosen for the colours: the map's cyan at normal incidence passes through "
            "azure to magenta towards grazing, as a beetle's green passes through blue to "
            "violet; "
            "a real chitin layer with those colours is about a quarter wave thinner",
            "gamma 0.6 and saturation +70: a beetle's stack of many layers reflects far more "
            "strongly and purely than one film. The map samples green at 510 nm and blue at "
            "475 nm, so close that its green is a narrow band between cyan and yellow: hue -60 "
            "turns its cyan, azure, magenta and rose, from the middle to the rim, into the "
            "beetle's green, blue-green, blue and violet",
        },
    };
    return presets;
}
// clang-format on

}  // namespace nacrelle::tools
