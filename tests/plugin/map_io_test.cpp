// Saving and loading the map: through whole scene files, and its own chunks.
#include <sdk/animation.h>
#include <sdk/chunk_io.h>
#include <maps/grey_maps.h>
#include <sdk/class_directory.h>
#include <params/param_access.h>
#include <scene/scene_file.h>
#include <maps/shade_context.h>

#include <cstdint>
#include <vector>

#include "tests/plugin/map_fixture.h"

namespace nacrelle::testing {
namespace {

constexpr TimeValue kFrame = 160;

/// An ISave whose writes all fail, like a full disk.
class FailingSave final : public ISave {
public:
    void BeginChunk(USHORT id) override { writer.BeginChunk(id); }
    void EndChunk() override { writer.EndChunk(); }
    int CurChunkDepth() override { return writer.CurChunkDepth(); }
    IOResult Write(const void*, ULONG, ULONG* written) override {
        *written = 0;
        return IO_ERROR;
    }
    standin::ChunkWriter writer;
};

using MapFiles = MapTest;

TEST_F(MapFiles, SceneFileKeepsEverySetting) {
    IParamBlock2& pb = Block(*map);
    const float values[] = {120, 780, 1.2f, 2.1f, 1.4f, 0, 0, 0.8f, 45.5f, -30};
    for (ParamID id : {0, 1, 2, 3, 4, 7, 8, 9}) pb.SetValue(id, 0, values[id]);
    {
        standin::AnimateScope animate;
        pb.SetValue(3, 0, 1.3f);
        pb.SetValue(3, 12 * kFrame, 2.6f);
    }
    pb.SetValue(6, 0, TRUE);
    auto* noise = static_cast<Texmap*>(standin::CreateInstance(standin::GreyNoiseDesc()));
    map->SetSubTexmap(0, noise);
    noise->GetParamBlock(0)->SetValue(standin::noise_size, 0, 0.2f);
    noise->GetParamBlock(0)->SetValue(standin::noise_phase, 0, 3.0f);
    Output(*map).SetRGBAmt(0.75f, 0);
    Output(*map).SetInvert(TRUE);
    map->SetGBufID(12);
    map->SetName(MSTR(L"Soap bubble"));

    const std::vector<std::uint8_t> bytes = standin::WriteSceneBytes(*scene, "bubble.scene");
    std::unique_ptr<standin::Scene> loaded = standin::ReadSceneBytes(bytes, "bubble.scene");
    ASSERT_EQ(loaded->Count(), 1);
    auto* copy = static_cast<Texmap*>(loaded->Roots()[0]);
    ASSERT_EQ(copy->ClassID(), map->ClassID());
    EXPECT_NE(copy, map);

    IParamBlock2& copyBlock = *copy->GetParamBlock(0);
    EXPECT_EQ(copyBlock.GetOwner(), copy);
    for (ParamID id : {0, 1, 2, 4, 7, 8, 9}) {
        EXPECT_EQ(copyBlock.GetFloat(id), pb.GetFloat(id)) << "parameter " << id;
    }
    const auto keys = standin::ParamKeys(copyBlock, 3);
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1].time, 12 * kFrame);
    EXPECT_EQ(keys[1].value, 2.6f);
    EXPECT_EQ(copyBlock.GetFloat(3, 6 * kFrame), pb.GetFloat(3, 6 * kFrame));
    EXPECT_EQ(copyBlock.GetInt(6), 1);
    Texmap* copyNoise = copy->GetSubTexmap(0);
    ASSERT_NE(copyNoise, nullptr);
    EXPECT_EQ(copyNoise->ClassID(), standin::kGreyNoiseClassID);
    EXPECT_EQ(copyNoise->GetParamBlock(0)->GetFloat(standin::noise_size), 0.2f);
    EXPECT_EQ(copyBlock.GetReferenceTarget(5), copyNoise);
    auto& copyOutput = *static_cast<StdTexoutGen*>(copy->GetReference(2));
    EXPECT_EQ(copyOutput.GetRGBAmt(0), 0.75f);
    EXPECT_TRUE(copyOutput.GetInvert());
    EXPECT_EQ(copy->GetGBufID(), 12u);
    EXPECT_EQ(copy->GetName(), MSTR(L"Soap bubble"));

    // And it renders the same colours.
    Interval valid = FOREVER;
    map->Update(4 * kFrame, valid);
    copy->Update(4 * kFrame, valid);
    for (float x : {-0.5f, 0.0f, 0.7f}) {
        standin::RenderShadeContext a, b;
        a.SetSample(Point3(0, 0, 1), Point3(0.3f, 0.0f, -0.953939f), Point3(x, 0.2f, 0.1f),
                    Point3());
        b = a;
        const AColor ca = map->EvalColor(a);
        const AColor cb = copy->EvalColor(b);
        EXPECT_EQ(ca.r, cb.r);
        EXPECT_EQ(ca.g, cb.g);
        EXPECT_EQ(ca.b, cb.b);
    }
    loaded.reset();
}

TEST_F(MapFiles, SwitchOffChunkClearsTheCacheUntilTheNextUpdate) {
    CountingMonoMap& sub = PlugCountingMap(*map, 0.5f);
    Block(*map).SetValue(6, 0, TRUE);

    standin::ChunkWriter writer;
    writer.BeginChunk(0x1000);
    writer.EndChunk();
    writer.BeginChunk(0x2222);  // unknown to this version: skipped
    writer.EndChunk();
    ASSERT_FALSE(writer.Failed()) << writer.Error();
    standin::ChunkReader reader(writer.Bytes());
    EXPECT_EQ(map->Load(&reader), IO_OK);

    standin::RenderShadeContext sc;
    map->EvalColor(sc);
    EXPECT_EQ(sub.evaluations.load(), 0);  // the switch cache reads 0
    Interval valid = FOREVER;
    map->Update(0, valid);
    map->EvalColor(sc);
    EXPECT_EQ(sub.evaluations.load(), 1);  // and 1 again after the update
}

TEST_F(MapFiles, SaveWritesOneHeaderChunkAroundTheBase) {
    map->SetName(MSTR(L"Oil"));
    standin::ChunkWriter writer;
    EXPECT_EQ(map->Save(&writer), IO_OK);
    EXPECT_EQ(writer.CurChunkDepth(), 0);
    standin::ChunkReader reader(writer.Bytes());
    ASSERT_EQ(reader.OpenChunk(), IO_OK);
    EXPECT_EQ(reader.CurChunkID(), 0x4000);
    EXPECT_EQ(reader.CloseChunk(), IO_OK);
    EXPECT_EQ(reader.OpenChunk(), IO_END);
}

TEST_F(MapFiles, FailingBaseSavePassesTheResultOn) {
    map->SetName(MSTR(L"Oil"));
    map->SetGBufID(3);
    FailingSave save;
    EXPECT_EQ(map->Save(&save), IO_ERROR);
}

TEST_F(MapFiles, DamagedBaseChunkEndsLoading) {
    standin::ChunkWriter writer;
    writer.BeginChunk(0x4000);
    writer.BeginChunk(MTLBASE_GBUFID_CHUNK);
    const std::uint16_t tooShort = 7;  // the ID is 32 bits
    ULONG written = 0;
    writer.Write(&tooShort, sizeof tooShort, &written);
    writer.EndChunk();
    writer.EndChunk();
    writer.BeginChunk(0x1000);  // never reached
    writer.EndChunk();
    ASSERT_FALSE(writer.Failed()) << writer.Error();

    Block(*map).SetValue(6, 0, TRUE);
    CountingMonoMap& sub = PlugCountingMap(*map, 0.5f);
    Interval valid = FOREVER;
    map->Update(0, valid);
    standin::ChunkReader reader(writer.Bytes());
    EXPECT_EQ(map->Load(&reader), IO_ERROR);
    standin::RenderShadeContext sc;
    map->EvalColor(sc);
    EXPECT_EQ(sub.evaluations.load(), 1);  // the later 0x1000 chunk was not read
}

}  // namespace
}  // namespace nacrelle::testing
