// Resource IDs of the Nacrelle module. The IDs are stored in scenes' UI state
// and referenced by the parameter block: never renumber them.
#pragma once

// String table.
#define IDS_LIB_DESCRIPTION 1
#define IDS_CATEGORY 2
#define IDS_CLASS_NAME 3
#define IDS_PARAMS 4
#define IDS_THICKNESS_MIN 5
#define IDS_THICKNESS_MAX 6
#define IDS_N_MEDIUM 7
#define IDS_N_FILM 8
#define IDS_N_INTERNAL 9
#define IDS_THICKNESS_MAP 10
#define IDS_USE_THICKNESS_MAP 11
#define IDS_GAMMA 12
#define IDS_HUE_SHIFT 13
#define IDS_SATURATION 14
#define IDS_HOMEPAGE 15
#define IDS_BASE_ARTICLE 16
#define IDS_OUTPUT 17
// The physical-optics rollout. 18 to 39 stay free: the table above is the
// one scripts and older releases know.
#define IDS_OPTICS 40
#define IDS_SPECTRAL 41
#define IDS_PHYSICAL_PHASE 42
#define IDS_BASE_METAL 43
#define IDS_BASE_INTERNAL 44
#define IDS_METAL_GOLD 45
#define IDS_METAL_SILVER 46
#define IDS_METAL_COPPER 47
#define IDS_METAL_ALUMINIUM 48
#define IDS_METAL_CHROMIUM 49
#define IDS_METAL_IRON 50
#define IDS_METAL_TITANIUM 51
#define IDS_METAL_NIOBIUM 52

// The parameter panel and the physical-optics rollout.
#define IDD_PANEL 101
#define IDD_OPTICS_PANEL 102

#define IDC_THICKNESS_MAP 1002
#define IDC_USE_THICKNESS_MAP 1003
#define IDC_HOMEPAGE 1008
#define IDC_ARTICLE 1009
#define IDC_SPECTRAL 1010
#define IDC_PHYSICAL_PHASE 1011
#define IDC_BASE_METAL 1012
#define IDC_THICKNESS_MIN_EDIT 1490
#define IDC_THICKNESS_MAX_EDIT 1491
#define IDC_GAMMA_EDIT 1492
#define IDC_N_MEDIUM_EDIT 1493
#define IDC_N_FILM_EDIT 1494
#define IDC_N_INTERNAL_EDIT 1495
#define IDC_THICKNESS_MIN_SPIN 1496
#define IDC_THICKNESS_MAX_SPIN 1497
#define IDC_GAMMA_SPIN 1498
#define IDC_N_MEDIUM_SPIN 1499
#define IDC_N_FILM_SPIN 1500
#define IDC_N_INTERNAL_SPIN 1501
#define IDC_HUE_EDIT 1502
#define IDC_HUE_SPIN 1503
#define IDC_SATURATION_EDIT 1504
#define IDC_SATURATION_SPIN 1505
