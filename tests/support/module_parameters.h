// The map's parameter block as its contract fixes it (stored scenes and
// scripts rely on every ID, script name, type and range), written down once
// for the tests that check the module and the program against it.
#pragma once

#include <cmath>

namespace nacrelle::testing {

struct ModuleParameter {
    int id;
    const char* scriptName;
    const char* displayName;  ///< the string table's text of its display name
    const char* type;         ///< float, int, bool, texmap or reftarg
    float defaultValue;       ///< NAN where the type has none
    float low, high;          ///< NAN where the type has no range
    bool animatable;
};

// The "Min:" row (ID 0) is "thicknessmax" to scripts and the "Max:" row
// "thicknessmin": stored scripts use these names.
inline constexpr ModuleParameter kModuleParameters[] = {
    {0, "thicknessmax", "ThicknessMin", "float", 250.0f, 0.0f, 3000.0f, true},
    {1, "thicknessmin", "ThicknessMax", "float", 350.0f, 0.0f, 3000.0f, true},
    {2, "nmedium", "nMedium", "float", 1.0f, 0.2f, 100.0f, true},
    {3, "nfilm", "nFilm", "float", 1.5f, 0.2f, 100.0f, true},
    {4, "ninternal", "nInternal", "float", 1.0f, 0.2f, 100.0f, true},
    {5, "thicknessmap", "ThicknessMap", "texmap", NAN, NAN, NAN, false},
    {6, "thicknessmapenabled", "UseThicknessMap", "bool", 0.0f, NAN, NAN, false},
    {7, "gamma", "Gamma", "float", 1.0f, 0.05f, 20.0f, true},
    {8, "hue", "HueShift", "float", 0.0f, -180.0f, 180.0f, true},
    {9, "sat", "Saturation", "float", 0.0f, -100.0f, 100.0f, true},
    {10, "output", "Output", "reftarg", NAN, NAN, NAN, false},
    // Block version 1: the physical-optics options, all off by default.
    {11, "spectral", "Spectral", "bool", 0.0f, NAN, NAN, false},
    {12, "physicalphase", "PhysicalPhase", "bool", 0.0f, NAN, NAN, false},
    {13, "basemetal", "BaseMetal", "int", 0.0f, 0.0f, 8.0f, false},
};

}  // namespace nacrelle::testing
