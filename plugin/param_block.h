// The map's parameter block: one definition for the whole module.
#pragma once

#include "plugin/host.h"

/// Block IDs of the map. Stored in scenes: append only.
enum NacrelleBlockID : BlockID { nacrelle_params = 0 };

/// Parameter IDs of block 0. Stored in scenes and used by scripts: append
/// only, never renumber.
enum NacrelleParamID : ParamID {
    pb_thickness_min = 0,  // script name "thicknessmax" (kept for stored scripts)
    pb_thickness_max = 1,  // script name "thicknessmin"
    pb_n_medium = 2,
    pb_n_film = 3,
    pb_n_internal = 4,
    pb_thickness_map = 5,
    pb_thickness_map_enabled = 6,
    pb_gamma = 7,
    pb_hue = 8,
    pb_saturation = 9,
    pb_output = 10,
    pb_spectral = 11,
    pb_physical_phase = 12,
    pb_base_metal = 13,  // 0: the "Internal:" index; 1-8: a metal (core/metal_index.h)
};

/// The block's rollouts: the main panel and the physical-optics options.
enum NacrelleMapID : MapID { map_main = 0, map_optics = 1 };

/// Version of the block's definition, stored in scenes. Version 1 added
/// parameters 11 to 13; a block saved before loads with their defaults.
inline constexpr int kNacrelleBlockVersion = 1;

/// The map's references; parameters 5 and 10 live in references 1 and 2.
enum NacrelleRefID { ref_param_block = 0, ref_thickness_map = 1, ref_texture_output = 2 };

/// The block definition, built during the module's static initialisation.
extern ParamBlockDesc2 nacrelleParamBlockDesc;
