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
#include "tools/presets/presets.h"

namespace nacrelle::tools {

// clang-format off: one row of values per preset
const std::vector<Preset>& allPresets() {
    static const std::vector<Preset> presets{
        {
            "soap-bubble",
            "Soap film in air: swirls of magenta, green and gold",
            {{"nmedium", 1.0}, {"nfilm", 1.33}, {"ninternal", 1.0},
             {"thicknessmax", 300.0}, {"thicknessmin", 900.0}},
            "noise",
            {{"size", 0.7}, {"levels", 2.0}},
            "air, n 1.00",
            "soapy water, n 1.33: water is 1.333 at 589 nm (CRC Handbook of Chemistry and "
            "Physics; Hecht, \"Optics\")",
            "air, n 1.00",
            "300 to 900 nm through noise: a bubble shows interference colours where its film is "
            "a few hundred nm to about a micrometre thick (Isenberg, \"The Science of Soap Films "
            "and Soap Bubbles\")",
            "",
        },
        {
            "oil-on-water",
            "Oil slick on a wet road: dim rainbow bands on dark water",
            {{"nmedium", 1.0}, {"nfilm", 1.47}, {"ninternal", 1.333},
             {"thicknessmax", 200.0}, {"thicknessmin", 800.0}, {"gamma", 0.7}, {"sat", 60.0}},
            "noise",
            {{"size", 0.6}, {"levels", 2.0}},
            "air, n 1.00",
            "mineral oil, n 1.47 (CRC Handbook of Chemistry and Physics)",
            "water, n 1.333 at 589 nm (CRC Handbook of Chemistry and Physics; Hecht, \"Optics\")",
            "200 to 800 nm through noise: a slick is coloured where it is a fraction of a "
            "micrometre thick (Hecht, \"Optics\", on thin-film interference)",
            "gamma 0.7 and saturation +60 lift the film's weak reflection (a few per cent) for "
            "display",
        },
        {
            "anodised-titanium",
            "Titanium anodised blue: an oxide film on the metal",
            {{"nmedium", 1.0}, {"nfilm", 2.5}, {"ninternal", 7.4},
             {"thicknessmax", 120.0}, {"thicknessmin", 120.0}},
            "",
            {},
            "air, n 1.00",
            "titanium dioxide, n 2.5: anatase is 2.49 to 2.56 at 589 nm (CRC Handbook of "
            "Chemistry and Physics)",
            "titanium metal (n about 2.5, k about 3.4 at 550 nm, reflectance about 58%; Palik, "
            "\"Handbook of Optical Constants of Solids\"), approximated by the non-absorbing "
            "n 7.4 that reflects as much",
            "120 nm, chosen for the colour: the map's deep blue of anodised titanium; a real "
            "film of that colour is about a quarter wave thinner",
            "",
        },
        {
            "anodised-niobium",
            "Niobium anodised gold: a thicker oxide, second-order colour",
            {{"nmedium", 1.0}, {"nfilm", 2.3}, {"ninternal", 5.8},
             {"thicknessmax", 208.0}, {"thicknessmin", 208.0}},
            "",
            {},
            "air, n 1.00",
            "niobium pentoxide, n 2.3 (Macleod, \"Thin-Film Optical Filters\", coating "
            "materials)",
            "niobium metal (reflectance about 50% at 550 nm; Palik, \"Handbook of Optical "
            "Constants of Solids\"), approximated by the non-absorbing n 5.8 that reflects as "
            "much",
            "208 nm, chosen for the colour: the map's second-order gold of anodised niobium; a "
            "real film of that colour is about a quarter wave thinner",
            "",
        },
        {
            "lens-coating",
            "Single-layer anti-reflection coating: magnesium fluoride on crown glass",
            {{"nmedium", 1.0}, {"nfilm", 1.38}, {"ninternal", 1.52},
             {"thicknessmax", 199.3}, {"thicknessmin", 199.3}, {"gamma", 0.5}},
            "",
            {},
            "air, n 1.00",
            "magnesium fluoride, n 1.38 (Hecht, \"Optics\"; Macleod, \"Thin-Film Optical "
            "Filters\")",
            "crown glass, n 1.52 (Hecht, \"Optics\")",
            "199.3 nm = 550 / (2 x 1.38). A real coating is a quarter wave thick at 550 nm, "
            "550 / (4 x 1.38) = 99.6 nm, and reflects 1.3% there against bare glass's 4.3% "
            "(Macleod, \"Thin-Film Optical Filters\"; Hecht, \"Optics\"). The map adds half a "
            "wave for a film between air and glass, so it gives that 1.3% at 550 nm at twice "
            "the thickness; at 99.6 nm it reflects like bare glass",
            "gamma 0.5 lifts the faint reflection so that its purple tint shows",
        },
        {
            "tempered-steel",
            "Heat tint on tempered steel: straw, brown, purple and blue up the surface",
            {{"nmedium", 1.0}, {"nfilm", 2.42}, {"ninternal", 6.9},
             {"thicknessmax", 65.0}, {"thicknessmin", 150.0}},
            "gradient",
            {{"axis", 1.0}, {"start", 0.0}, {"end", 1.0}},
            "air, n 1.00",
            "iron oxide (magnetite), n 2.42 (CRC Handbook of Chemistry and Physics)",
            "steel, as iron (n about 2.9, k about 3.4 at 550 nm, reflectance about 56%; Palik, "
            "\"Handbook of Optical Constants of Solids\"), approximated by the non-absorbing "
            "n 6.9 that reflects as much",
            "65 to 150 nm along V, chosen for the colours: the temper colours of steel heated "
            "from about 220 to 300 C, straw to blue (Machinery's Handbook, tempering); real "
            "films of those colours are about a quarter wave thinner",
            "",
        },
        {
            "pearl",
            "Nacre: soft pastel lustre from thin aragonite tablets",
            {{"nmedium", 1.0}, {"nfilm", 1.68}, {"ninternal", 1.43},
             {"thicknessmax", 300.0}, {"thicknessmin", 500.0}, {"gamma", 0.4}, {"sat", -15.0}},
            "noise",
            {{"size", 0.3}, {"levels", 2.0}},
            "air, n 1.00",
            "aragonite, n 1.68 (its middle index; CRC Handbook of Chemistry and Physics)",
            "organic matrix between the tablets, about 1.43 (Land, \"The physics and biology of "
            "animal reflectors\")",
            "300 to 500 nm through fine noise: nacre's tablets are about 0.3 to 0.5 micrometre "
            "thick (Kinoshita, \"Structural Colors in the Realm of Nature\")",
            "gamma 0.4 and saturation -15: many stacked tablets reflect more, and more evenly, "
            "than the one film the map models",
        },
        {
            "beetle-shell",
            "Jewel beetle: metallic green turning blue towards the rim",
            {{"nmedium", 1.0}, {"nfilm", 1.56}, {"ninternal", 2.0},
             {"thicknessmax", 262.0}, {"thicknessmin", 262.0}, {"gamma", 0.5}, {"sat", 50.0}},
            "",
            {},
            "air, n 1.00",
            "chitin, n 1.56 (Land, \"The physics and biology of animal reflectors\"; Kinoshita, "
            "\"Structural Colors in the Realm of Nature\")",
            "melanin-rich cuticle, about 2.0 (Kinoshita, \"Structural Colors in the Realm of "
            "Nature\")",
            "262 nm, chosen for the colour: the map's green; a real chitin layer of that colour "
            "is about a quarter wave thinner",
            "gamma 0.5 and saturation +50: a beetle's stack of many layers reflects far more "
            "strongly and purely than one film",
        },
    };
    return presets;
}
// clang-format on

}  // namespace nacrelle::tools
