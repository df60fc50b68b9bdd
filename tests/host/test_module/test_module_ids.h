// Resource IDs of the loader tests' module.
#pragma once

// String table: IDs 1-6 share block 1; 40 lies in block 3. ID 7 is left out
// on purpose, for the missing-string tests.
#define IDS_DESCRIPTION 1
#define IDS_CATEGORY 2
#define IDS_CLASS_NAME 3
#define IDS_NON_ASCII 4
#define IDS_LONG 5
#define IDS_SURROGATES 6
#define IDS_OTHER_BLOCK 40
// A drop-down list's items and the second rollout's title, in block 4; ID 54
// is left out on purpose, for an item whose text is missing.
#define IDS_ITEM_PLAIN 50
#define IDS_ITEM_GOLD 51
#define IDS_ITEM_STEEL 52
#define IDS_OPTIONS 53
#define IDS_ITEM_MISSING 54

#define IDD_TEST_PANEL 101
#define IDC_VALUE_EDIT 1001
#define IDC_VALUE_SPIN 1002
#define IDC_ENABLE 1003
#define IDC_LINK 1004

#define IDD_TEST_OPTIONS 102
#define IDC_OPTION 1005
#define IDC_KIND 1006
