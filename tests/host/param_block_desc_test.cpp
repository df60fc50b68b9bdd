// Parsing of parameter-block definitions: what a sound definition yields and
// how a malformed one is reported without reading past the bad item.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sdk_test_classes.h"
#include "sdk/class_directory.h"

namespace {

using sdktest::TestClassDesc;

TEST(ParamBlockDesc2, ParsesHeaderAndEveryParameter) {
    TestClassDesc cd;
    const auto desc = sdktest::MakeTestBlockDesc(&cd);
    ASSERT_FALSE(desc->HasDefinitionErrors()) << desc->DefinitionErrors().front();
    EXPECT_EQ(desc->ID, 0);
    EXPECT_EQ(desc->int_name, L"params");
    EXPECT_EQ(desc->cd, &cd);
    EXPECT_EQ(desc->flags, P_AUTO_CONSTRUCT | P_AUTO_UI);
    EXPECT_EQ(desc->ref_no, 0);
    const ParamMapInfo* map = desc->GetMapInfo(0);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->dlg_template, 101);
    EXPECT_EQ(map->title, 4);
    EXPECT_EQ(map->dlg_proc, nullptr);
    EXPECT_EQ(desc->GetMapInfo(1), nullptr);

    // Registered with its class descriptor by the constructor.
    EXPECT_EQ(cd.NumParamBlockDescs(), 1);
    EXPECT_EQ(cd.GetParamBlockDesc(0), desc.get());
    EXPECT_EQ(cd.GetParamBlockDescByID(0), desc.get());
    EXPECT_EQ(cd.GetParamBlockDescByID(1), nullptr);
    EXPECT_TRUE(standin::ParamBlockDefinitionErrors(&cd).empty());

    ASSERT_EQ(desc->Count(), 7);
    const ParamDef& thickness = desc->ParamDefAt(0);
    EXPECT_EQ(thickness.ID, sdktest::kThickness);
    EXPECT_EQ(thickness.int_name, L"thickness");
    EXPECT_EQ(thickness.type, TYPE_FLOAT);
    EXPECT_EQ(thickness.flags, P_ANIMATABLE);
    EXPECT_EQ(thickness.local_name, 5);
    EXPECT_EQ(thickness.def.f, 250.0f);
    EXPECT_EQ(thickness.range_low.f, 0.0f);
    EXPECT_EQ(thickness.range_high.f, 3000.0f);
    EXPECT_EQ(thickness.ctrl_type, TYPE_SPINNER);
    EXPECT_EQ(thickness.edit_type, EDITTYPE_FLOAT);
    EXPECT_EQ(thickness.ctrl_IDs, (std::vector<int>{1490, 1496}));
    EXPECT_EQ(thickness.scale, 1.0f);

    const ParamDef* index = desc->FindParamDef(sdktest::kIndex);
    ASSERT_NE(index, nullptr);
    EXPECT_EQ(index->def.f, 1.5f);
    EXPECT_EQ(index->range_low.f, 0.2f);  // stored in single precision
    EXPECT_EQ(index->scale, 0.01f);

    const ParamDef& count = *desc->FindParamDef(sdktest::kCount);
    EXPECT_EQ(count.def.i, 3);
    EXPECT_EQ(count.range_low.i, 1);
    EXPECT_EQ(count.range_high.i, 10);
    EXPECT_EQ(count.edit_type, EDITTYPE_INT);

    const ParamDef& enabled = *desc->FindParamDef(sdktest::kEnabled);
    EXPECT_EQ(enabled.type, TYPE_BOOL);
    EXPECT_EQ(enabled.flags, 0);
    EXPECT_TRUE(enabled.has_default);
    EXPECT_FALSE(enabled.has_range);
    EXPECT_EQ(enabled.ctrl_type, TYPE_SINGLECHECKBOX);
    EXPECT_EQ(enabled.ctrl_IDs, std::vector<int>{1003});

    const ParamDef& map5 = *desc->FindParamDef(sdktest::kMap);
    EXPECT_EQ(map5.type, TYPE_TEXMAP);
    EXPECT_TRUE(map5.IsOwnersRef());
    EXPECT_EQ(map5.refno, 1);
    EXPECT_EQ(map5.subtexno, 0);
    EXPECT_EQ(map5.ctrl_type, TYPE_TEXMAPBUTTON);
    EXPECT_EQ(map5.ctrl_IDs, std::vector<int>{1002});

    const ParamDef& output = *desc->FindParamDef(sdktest::kOutput);
    EXPECT_EQ(output.type, TYPE_REFTARG);
    EXPECT_EQ(output.refno, 2);
    EXPECT_EQ(output.ctrl_type, -1);
    EXPECT_EQ(output.subtexno, -1);

    EXPECT_EQ(desc->IDtoIndex(sdktest::kLocalMap), 6);
    EXPECT_EQ(desc->IndextoID(6), sdktest::kLocalMap);
    EXPECT_EQ(desc->IDtoIndex(99), -1);
    EXPECT_EQ(desc->NameToIndex(L"ENABLED"), 3);  // script names ignore case
    EXPECT_EQ(desc->NameToIndex(L"enable"), -1);
}

TEST(ParamBlockDesc2, MultiMapBlockGivesEachControlItsRolloutAndListsTheirItems) {
    TestClassDesc cd;
    // clang-format off
    const ParamBlockDesc2 desc(
        3, L"multi", 0, &cd, P_AUTO_CONSTRUCT + P_AUTO_UI + P_MULTIMAP + P_VERSION,
        2,                          // version, before the reference index
        4,                          // the owner's reference
        2,                          // two rollouts
        5, 101, 20, 0, 0, nullptr,  // map 5
        9, 102, 21, 1, 2, nullptr,  // map 9
        0, L"thickness", TYPE_FLOAT, 0, 5,
            p_ui, 5, TYPE_SPINNER, EDITTYPE_FLOAT, 1490, 1496, 1.0, p_end,
        1, L"spectral", TYPE_BOOL, 0, 6,
            p_ui, 9, TYPE_SINGLECHEKBOX, 1003, p_end,
        2, L"base", TYPE_INT, 0, 7, p_default, 2, p_range, 0, 2,
            p_ui, 9, TYPE_INTLISTBOX, 1010, 3, 30, 31, 32, p_end,
        3, L"mode", TYPE_INT, 0, 8,
            p_ui, 5, TYPE_INT_COMBOBOX, 1011, 1, 40, p_end,
        p_end);
    // clang-format on
    ASSERT_FALSE(desc.HasDefinitionErrors()) << desc.DefinitionErrors().front();
    EXPECT_EQ(desc.version, 2);
    EXPECT_EQ(desc.ref_no, 4);
    ASSERT_EQ(desc.MapInfos().size(), 2u);
    EXPECT_EQ(desc.MapInfos()[0].map_id, 5);
    EXPECT_EQ(desc.MapInfos()[0].dlg_template, 101);
    EXPECT_EQ(desc.MapInfos()[0].title, 20);
    const ParamMapInfo* optics = desc.GetMapInfo(9);
    ASSERT_NE(optics, nullptr);
    EXPECT_EQ(optics->dlg_template, 102);
    EXPECT_EQ(optics->title, 21);
    EXPECT_EQ(optics->flag_mask, 1);
    EXPECT_EQ(optics->rollup_flags, 2);
    EXPECT_EQ(desc.GetMapInfo(0), nullptr);

    ASSERT_EQ(desc.Count(), 4);
    EXPECT_EQ(desc.ParamDefAt(0).maptype, 5);
    EXPECT_EQ(desc.ParamDefAt(0).ctrl_IDs, (std::vector<int>{1490, 1496}));
    EXPECT_EQ(desc.ParamDefAt(1).maptype, 9);
    const ParamDef& base = desc.ParamDefAt(2);
    EXPECT_EQ(base.maptype, 9);
    EXPECT_EQ(base.ctrl_type, TYPE_INTLISTBOX);
    EXPECT_EQ(base.ctrl_IDs, std::vector<int>{1010});
    EXPECT_EQ(base.list_items, (std::vector<StringResID>{30, 31, 32}));
    EXPECT_EQ(base.def.i, 2);
    const ParamDef& mode = desc.ParamDefAt(3);
    EXPECT_EQ(mode.ctrl_type, TYPE_INT_COMBOBOX);
    EXPECT_EQ(mode.maptype, 5);
    EXPECT_EQ(mode.list_items, std::vector<StringResID>{40});
}

TEST(ParamBlockDesc2, SingleMapControlsBelongToMapZero) {
    TestClassDesc cd;
    const auto desc = sdktest::MakeTestBlockDesc(&cd);
    ASSERT_FALSE(desc->HasDefinitionErrors());
    for (int i = 0; i < desc->Count(); ++i) EXPECT_EQ(desc->ParamDefAt(i).maptype, 0) << i;
    EXPECT_TRUE(desc->ParamDefAt(0).list_items.empty());
}

struct Malformed {
    const char* name;
    // Builds a definition on the given class descriptor.
    std::function<std::unique_ptr<ParamBlockDesc2>(ClassDesc2*)> build;
    std::string error;  // the one error expected
    int parsed;         // parameters read before the bad item
};

// Each definition carries well-formed items after its fault: had the parser
// read on, it would have added parameters or further errors.
// clang-format off
const Malformed kMalformed[] = {
    {"unknown tag inside the tag band",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"first", TYPE_FLOAT, 0, 5, p_default, 1.0, p_end,
             1, L"second", TYPE_FLOAT, 0, 6, p_default, 1.0, -1073741000, 2.0, p_end,
             2, L"third", TYPE_FLOAT, 0, 7, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 1 \"second\": unsupported tag -1073741000", 1},
    {"a value where a tag belongs",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"first", TYPE_INT, 0, 5, p_default, 1, 12345, p_end,
             1, L"second", TYPE_FLOAT, 0, 6, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"first\": found 12345 where a tag or "
     "p_end belongs (is p_end missing?)",
     0},
    {"missing p_end before the next parameter",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"first", TYPE_FLOAT, 0, 5, p_default, 2.0, p_range, 0.0, 10.0,
             1, L"second", TYPE_FLOAT, 0, 6, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"first\": found 1 where a tag or p_end "
     "belongs (is p_end missing?)",
     0},
    {"p_range on a map",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"first", TYPE_FLOAT, 0, 5, p_end,
             5, L"thicknessmap", TYPE_TEXMAP, 0, 10, p_range, 0.0, 1.0, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 5 \"thicknessmap\": p_range does not apply "
     "to a TYPE_TEXMAP parameter",
     1},
    {"p_default on an object parameter",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             3, L"out", TYPE_REFTARG, 0, 10, p_default, 0, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 3 \"out\": p_default does not apply to a "
     "TYPE_REFTARG parameter",
     0},
    {"spinner on a switch",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             6, L"on", TYPE_BOOL, 0, 11, p_ui, TYPE_SPINNER, EDITTYPE_INT, 1, 2, 1.0, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 6 \"on\": p_ui TYPE_SPINNER does not fit a "
     "TYPE_BOOL parameter",
     0},
    {"map button on a float",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"f", TYPE_FLOAT, 0, 5, p_ui, TYPE_TEXMAPBUTTON, 1002, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"f\": p_ui TYPE_TEXMAPBUTTON does not fit "
     "a TYPE_FLOAT parameter",
     0},
    {"unknown control kind",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"f", TYPE_FLOAT, 0, 5, p_ui, 77, 1002, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"f\": p_ui with unknown control type 77", 0},
    {"duplicate parameter ID",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"a", TYPE_FLOAT, 0, 5, p_end,
             0, L"b", TYPE_FLOAT, 0, 6, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"b\": duplicate parameter ID (already used "
     "by \"a\")",
     1},
    {"duplicate script name",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"gamma", TYPE_FLOAT, 0, 5, p_end,
             1, L"Gamma", TYPE_FLOAT, 0, 6, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 1 \"Gamma\": script name already used by "
     "parameter 0",
     1},
    {"default outside the range",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"thicknessmax", TYPE_FLOAT, 0, 5, p_default, 5000.0, p_range, 0.0, 3000.0,
             p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"thicknessmax\": default 5000 is outside "
     "the range 0 to 3000",
     0},
    {"range upside down",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             2, L"n", TYPE_INT, 0, 5, p_range, 10, 1, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 2 \"n\": p_range minimum 10 is above its "
     "maximum 1",
     0},
    {"owner's reference without p_refno",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             5, L"map", TYPE_TEXMAP, P_OWNERS_REF, 10, p_subtexno, 0, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 5 \"map\": P_OWNERS_REF needs p_refno", 0},
    {"p_refno without P_OWNERS_REF",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             5, L"map", TYPE_TEXMAP, 0, 10, p_refno, 1, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 5 \"map\": p_refno needs P_OWNERS_REF", 0},
    {"p_refno on the block's own reference",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, P_AUTO_CONSTRUCT, 0,
             5, L"map", TYPE_TEXMAP, P_OWNERS_REF, 10, p_refno, 0, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 5 \"map\": p_refno 0 is the owner's "
     "reference that holds the block itself",
     0},
    {"animatable switch",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             6, L"on", TYPE_BOOL, P_ANIMATABLE, 11, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 6 \"on\": P_ANIMATABLE is supported on "
     "TYPE_FLOAT parameters only, not on TYPE_BOOL",
     0},
    {"unknown parameter type",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"x", 99, 0, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"x\": unknown parameter type 99", 0},
    {"colour parameter",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"tint", TYPE_RGBA, 0, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"tint\": TYPE_RGBA parameters are not "
     "supported",
     0},
    {"unknown parameter flag",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"x", TYPE_FLOAT, 0x10000, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"x\": unsupported parameter flags 0x10000",
     0},
    {"a tag where a parameter ID belongs",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"x", TYPE_FLOAT, 0, 5, p_end,
             p_default, 1.0,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): found p_default where a parameter ID or the closing "
     "p_end belongs",
     1},
    {"negative parameter ID",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             -3, L"x", TYPE_FLOAT, 0, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): found -3 where a parameter ID (0 to 32767) or the "
     "closing p_end belongs",
     0},
    {"no script name",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             4, static_cast<const MCHAR*>(nullptr), TYPE_FLOAT, 0, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 4: has no script name", 0},
    {"unsupported block flag",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0x8 | P_AUTO_CONSTRUCT, 0,
             0, L"x", TYPE_FLOAT, 0, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): unsupported block flags 0x8", 0},
    {"no finite default",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"x", TYPE_FLOAT, 0, 5, p_default, 1e300, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"x\": the p_default value is not a finite "
     "single-precision number",
     0},
    {"P_MULTIMAP without P_AUTO_UI",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, P_MULTIMAP,
             0, L"x", TYPE_FLOAT, 0, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): P_MULTIMAP needs P_AUTO_UI", 0},
    {"no rollouts in a multi-map block",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, P_AUTO_UI + P_MULTIMAP,
             0,
             0, L"x", TYPE_FLOAT, 0, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): P_MULTIMAP rollout count 0 is outside 1 to 16", 0},
    {"a single map's items where the rollout count belongs",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, P_AUTO_UI + P_MULTIMAP,
             101, 4, 0, 0, nullptr,
             0, L"x", TYPE_FLOAT, 0, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): P_MULTIMAP rollout count 101 is outside 1 to 16", 0},
    {"two rollouts with one map ID",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, P_AUTO_UI + P_MULTIMAP,
             2, 0, 101, 4, 0, 0, nullptr, 0, 102, 5, 0, 0, nullptr,
             0, L"x", TYPE_FLOAT, 0, 5, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): map ID 0 is given to two rollouts", 0},
    {"p_ui naming a map the block does not have",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, P_AUTO_UI + P_MULTIMAP,
             2, 0, 101, 4, 0, 0, nullptr, 1, 102, 5, 0, 0, nullptr,
             0, L"x", TYPE_BOOL, 0, 5, p_ui, 1, TYPE_SINGLECHEKBOX, 1003, p_end,
             1, L"y", TYPE_BOOL, 0, 6, p_ui, 2, TYPE_SINGLECHEKBOX, 1004, p_end,
             2, L"z", TYPE_BOOL, 0, 7, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 1 \"y\": p_ui names map 2, which the block "
     "does not have (its maps: 0, 1)",
     1},
    {"p_ui without its map ID in a multi-map block",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, P_AUTO_UI + P_MULTIMAP,
             2, 0, 101, 4, 0, 0, nullptr, 1, 102, 5, 0, 0, nullptr,
             0, L"x", TYPE_FLOAT, 0, 5, p_ui, TYPE_SPINNER, EDITTYPE_FLOAT, 1490, 1496, 1.0,
             p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"x\": p_ui with unknown control type 1 "
     "(with P_MULTIMAP, p_ui starts with the map ID)",
     0},
    {"list on a switch",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"on", TYPE_BOOL, 0, 5, p_ui, TYPE_INTLISTBOX, 1010, 2, 30, 31, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"on\": p_ui TYPE_INTLISTBOX does not fit "
     "a TYPE_BOOL parameter",
     0},
    {"combo box on a float",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"f", TYPE_FLOAT, 0, 5, p_ui, TYPE_INT_COMBOBOX, 1010, 1, 30, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"f\": p_ui TYPE_INT_COMBOBOX does not fit "
     "a TYPE_FLOAT parameter",
     0},
    {"list without items",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"base", TYPE_INT, 0, 5, p_ui, TYPE_INTLISTBOX, 1010, 0, p_end,
             1, L"y", TYPE_INT, 0, 6, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"base\": p_ui TYPE_INTLISTBOX item count "
     "0 is outside 1 to 256",
     0},
    {"list count larger than its string IDs",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"base", TYPE_INT, 0, 5, p_ui, TYPE_INTLISTBOX, 1010, 3, 30, 31, p_end,
             1, L"y", TYPE_INT, 0, 6, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"base\": p_ui TYPE_INTLISTBOX: found "
     "p_end where string ID 3 of 3 belongs",
     0},
    {"list range beyond its items",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"base", TYPE_INT, 0, 5, p_range, 0, 8,
             p_ui, TYPE_INTLISTBOX, 1010, 2, 30, 31, p_end,
             1, L"y", TYPE_INT, 0, 6, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"base\": p_range 0 to 8 goes beyond the "
     "list's items 0 to 1",
     0},
    {"list default not an item",
     [](ClassDesc2* cd) {
         return std::make_unique<ParamBlockDesc2>(
             7, L"blk", 0, cd, 0,
             0, L"base", TYPE_INT, 0, 5, p_default, -1,
             p_ui, TYPE_INT_COMBOBOX, 1010, 2, 30, 31, p_end,
             p_end);
     },
     "ParamBlockDesc2 \"blk\" (block 7): parameter 0 \"base\": default -1 is not one of the "
     "list's items 0 to 1",
     0},
};
// clang-format on

TEST(ParamBlockDesc2, MalformedDefinitionsAreReportedAndNotReadPast) {
    for (const Malformed& c : kMalformed) {
        TestClassDesc cd;
        const auto desc = c.build(&cd);
        EXPECT_EQ(desc->DefinitionErrors(), std::vector<std::string>{c.error}) << c.name;
        EXPECT_EQ(desc->Count(), c.parsed) << c.name;
        // The loader learns of it through the class descriptor, and the host
        // builds no block from it.
        EXPECT_EQ(standin::ParamBlockDefinitionErrors(&cd), std::vector<std::string>{c.error})
            << c.name;
        sdktest::ResetCounters();
        EXPECT_EQ(CreateParameterBlock2(desc.get(), nullptr), nullptr) << c.name;
    }
}

TEST(ParamBlockDesc2, BlocksOfOneClassNeedDistinctIDsAndReferences) {
    TestClassDesc cd;
    const auto first = sdktest::MakeTestBlockDesc(&cd);
    const ParamBlockDesc2 sameID(0, L"again", 0, &cd, 0, p_end);
    const ParamBlockDesc2 sameRef(1, L"other", 0, &cd, P_AUTO_CONSTRUCT, 0, p_end);
    EXPECT_EQ(sameID.DefinitionErrors(),
              std::vector<std::string>{"ParamBlockDesc2 \"again\" (block 0): block ID 0 is already "
                                       "used by ParamBlockDesc2 \"params\" of the same class"});
    EXPECT_EQ(sameRef.DefinitionErrors(),
              std::vector<std::string>{"ParamBlockDesc2 \"other\" (block 1): the owner's "
                                       "reference 0 already holds block \"params\""});
    EXPECT_EQ(standin::ParamBlockDefinitionErrors(&cd).size(), 2u);
}

TEST(ParamBlockDesc2, PlainClassDescriptorHasNoDefinitionErrors) {
    struct Plain : ClassDesc {
        int IsPublic() override { return FALSE; }
        void* Create(BOOL) override { return nullptr; }
        const MCHAR* ClassName() override { return L"Plain"; }
        const MCHAR* NonLocalizedClassName() override { return L"Plain"; }
        SClass_ID SuperClassID() override { return 0x7E57; }
        Class_ID ClassID() override { return Class_ID(1, 1); }
        const MCHAR* Category() override { return L""; }
    } plain;
    EXPECT_TRUE(standin::ParamBlockDefinitionErrors(&plain).empty());
    EXPECT_TRUE(standin::ParamBlockDefinitionErrors(nullptr).empty());
}

TEST(ParamBlockDesc2, DestructionUnregistersFromTheClass) {
    TestClassDesc cd;
    auto desc = sdktest::MakeTestBlockDesc(&cd);
    EXPECT_EQ(cd.NumParamBlockDescs(), 1);
    desc.reset();
    EXPECT_EQ(cd.NumParamBlockDescs(), 0);
    EXPECT_EQ(cd.GetParamBlockDescByID(0), nullptr);
}

}  // namespace
