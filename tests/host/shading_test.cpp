// The shading side of the SDK: the renderer's shading context, the MtlBase
// base data and its chunks, sub-map names and Texmap's default mono value.
#include <gtest/gtest.h>

#include "imtl.h"
#include "sdk/chunk_io.h"
#include "sdk/chunk_values.h"
#include "maps/grey_maps.h"
#include "maps/shade_context.h"

namespace {

using standin::RenderShadeContext;

// A map of one fixed colour, with no EvalMono of its own.
class FixedColourMap : public Texmap {
public:
    explicit FixedColourMap(AColor c) : colour(c) {}
    void GetClassName(MSTR& s, bool) const override { s = L"Fixed Colour"; }
    void Update(TimeValue, Interval&) override {}
    void Reset() override {}
    Interval Validity(TimeValue) override { return FOREVER; }
    ParamDlg* CreateParamDlg(HWND, IMtlParams*) override { return nullptr; }
    AColor EvalColor(ShadeContext&) override { return colour; }
    Point3 EvalNormalPerturb(ShadeContext&) override { return Point3(); }

    AColor colour;

protected:
    RefResult NotifyRefChanged(const Interval&, RefTargetHandle, PartID&, RefMessage,
                               BOOL) override {
        return REF_SUCCEED;
    }
};

// A map with two named sub-map slots held in references 0 and 1.
class SlottedMap : public FixedColourMap {
public:
    SlottedMap() : FixedColourMap(AColor()) {}
    int NumRefs() override { return 2; }
    RefTargetHandle GetReference(int i) override { return slots[i]; }
    int NumSubTexmaps() override { return 2; }
    Texmap* GetSubTexmap(int i) override { return slots[i]; }
    void SetSubTexmap(int i, Texmap* m) override { ReplaceReference(i, m); }
    MSTR GetSubTexmapSlotName(int i, bool) override {
        return i == 0 ? MSTR(L"Thickness Map") : MSTR();
    }

    Texmap* slots[2] = {nullptr, nullptr};

protected:
    void SetReference(int i, RefTargetHandle target) override {
        slots[i] = static_cast<Texmap*>(target);
    }
};

TEST(RenderShadeContext, StartsInitialisedAndCarriesTheSample) {
    RenderShadeContext sc;
    EXPECT_EQ(sc.mode, SCMODE_NORMAL);
    EXPECT_TRUE(sc.doMaps);
    EXPECT_TRUE(sc.filterMaps);
    EXPECT_FALSE(sc.backFace);
    EXPECT_EQ(sc.mtlNum, 0);
    EXPECT_EQ(sc.GBufferID(), 0);
    EXPECT_EQ(sc.Normal(), Point3(0.0f, 0.0f, 1.0f));
    EXPECT_EQ(sc.V(), Point3(0.0f, 0.0f, -1.0f));
    EXPECT_EQ(sc.CurTime(), 0);
    EXPECT_FALSE(sc.InMtlEditor());

    sc.SetTime(320);
    sc.SetInMtlEditor(TRUE);
    sc.backFace = TRUE;
    sc.SetGBufferID(11);
    sc.SetSample(Point3(0.0f, 1.0f, 0.0f), Point3(0.6f, -0.8f, 0.0f), Point3(1.0f, 2.0f, 3.0f),
                 Point3(0.25f, 0.5f, 0.0f), Point3(0.01f, 0.02f, 0.0f));
    EXPECT_EQ(sc.Normal(), Point3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(sc.OrigNormal(), Point3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(sc.V(), Point3(0.6f, -0.8f, 0.0f));
    EXPECT_EQ(sc.P(), Point3(1.0f, 2.0f, 3.0f));
    EXPECT_EQ(sc.UVW(), Point3(0.25f, 0.5f, 0.0f));
    EXPECT_EQ(sc.UVW(1), Point3(0.25f, 0.5f, 0.0f));
    EXPECT_EQ(sc.UVW(2), Point3());
    EXPECT_EQ(sc.DUVW(1), Point3(0.01f, 0.02f, 0.0f));
    EXPECT_EQ(sc.CurTime(), 320);
    EXPECT_TRUE(sc.InMtlEditor());
    // A new sample starts with a clean output.
    EXPECT_EQ(sc.GBufferID(), 0);
    EXPECT_FALSE(sc.backFace);
    // The mirror of the view about the normal.
    EXPECT_EQ(sc.ReflectVector(), Point3(0.6f, 0.8f, 0.0f));
}

TEST(RenderShadeContext, SetGBufferIDStoresIntoTheOutput) {
    RenderShadeContext sc;
    ShadeContext& base = sc;
    base.SetGBufferID(42);
    EXPECT_EQ(base.out.gbufId, 42);
    EXPECT_EQ(sc.GBufferID(), 42);
    base.ResetOutput();
    EXPECT_EQ(sc.GBufferID(), 0);
}

TEST(Texmap, EvalMonoDefaultsToTheMeanOfRedGreenBlue) {
    FixedColourMap map(AColor(0.1f, 0.2f, 0.4f, 0.0f));
    RenderShadeContext sc;
    EXPECT_EQ(map.EvalMono(sc), (0.1f + 0.2f + 0.4f) / 3.0f);
    map.colour = AColor(3.0f, -3.0f, 1.5f, 1.0f);
    EXPECT_EQ(map.EvalMono(sc), 0.5f);
    Matrix3 uvTransform(0);
    map.GetUVTransform(uvTransform);
    EXPECT_TRUE(uvTransform.IsIdentity());
}

TEST(ISubMap, TrackViewNameJoinsSlotAndMapNames) {
    auto* owner = new SlottedMap();
    EXPECT_EQ(owner->GetSubTexmapTVName(0), MSTR(L"Thickness Map"));
    auto* named = new FixedColourMap(AColor());
    named->SetName(L"Ripples");
    owner->SetSubTexmap(0, named);
    EXPECT_EQ(owner->GetSubTexmapTVName(0), MSTR(L"Thickness Map: Ripples"));
    // Without a name of its own the map shows its class name.
    owner->SetSubTexmap(0, new FixedColourMap(AColor()));
    EXPECT_EQ(owner->GetSubTexmapTVName(0, false), MSTR(L"Thickness Map: Fixed Colour"));
    // A slot without a name shows just the map's.
    owner->SetSubTexmap(1, new standin::GreyNoiseMap());
    EXPECT_EQ(owner->GetSubTexmapTVName(1), MSTR(L"Grey Noise"));
    EXPECT_EQ(owner->GetRefTarget(), owner);
    EXPECT_EQ(owner->MapSlotType(0), MAPSLOT_TEXTURE);
    EXPECT_EQ(owner->SubTexmapOn(0), 1);
    EXPECT_FALSE(owner->SetDlgThing(nullptr));
    owner->DeleteMe();
}

// ---- MtlBase base data -----------------------------------------------------------

TEST(MtlBase, AssignmentCopiesOnlyTheBaseData) {
    auto* source = new SlottedMap();
    source->SetName(L"Source");
    source->SetGBufID(0xFFFFFFFFu);
    source->SetSubTexmap(0, new FixedColourMap(AColor()));
    auto* target = new SlottedMap();
    *static_cast<MtlBase*>(target) = *static_cast<MtlBase*>(source);
    EXPECT_EQ(target->GetName(), MSTR(L"Source"));
    EXPECT_EQ(target->GetGBufID(), 0xFFFFFFFFu);
    EXPECT_EQ(target->GetSubTexmap(0), nullptr);  // references are not base data
    source->DeleteMe();
    target->DeleteMe();
}

std::vector<std::uint8_t> savedBase(MtlBase& mtl) {
    standin::ChunkWriter writer;
    writer.BeginChunk(0x4000);
    EXPECT_EQ(mtl.MtlBase::Save(&writer), IO_OK);
    writer.EndChunk();
    EXPECT_FALSE(writer.Failed()) << writer.Error();
    return writer.Bytes();
}

IOResult loadBase(MtlBase& mtl, const std::vector<std::uint8_t>& bytes) {
    standin::ChunkReader reader(bytes);
    EXPECT_EQ(reader.OpenChunk(), IO_OK);
    const IOResult result = mtl.MtlBase::Load(&reader);
    reader.CloseChunk();
    return result;
}

TEST(MtlBase, SaveAndLoadCarryNameAndGBufferID) {
    FixedColourMap source{AColor()};
    source.SetName(L"Perlmutt \u00e9clat \U0001F41A");
    source.SetGBufID(0x89ABCDEFu);
    const std::vector<std::uint8_t> bytes = savedBase(source);

    FixedColourMap target{AColor()};
    EXPECT_EQ(loadBase(target, bytes), IO_OK);
    EXPECT_EQ(target.GetName(), source.GetName());
    EXPECT_EQ(target.GetGBufID(), 0x89ABCDEFu);
}

TEST(MtlBase, LoadSkipsUnknownChunksAndRefusesDamagedOnes) {
    // A chunk a later version might add is skipped.
    standin::ChunkWriter later;
    later.BeginChunk(0x4000);
    later.BeginChunk(0x5399);
    standin::WriteU32(later, 1234);
    later.EndChunk();
    standin::WriteU32Chunk(later, MTLBASE_GBUFID_CHUNK, 6);
    later.EndChunk();
    FixedColourMap map{AColor()};
    EXPECT_EQ(loadBase(map, later.Bytes()), IO_OK);
    EXPECT_EQ(map.GetGBufID(), 6u);

    // A G-buffer ID chunk of the wrong length is damage.
    standin::ChunkWriter shortId;
    shortId.BeginChunk(0x4000);
    shortId.BeginChunk(MTLBASE_GBUFID_CHUNK);
    standin::WriteU16(shortId, 6);
    shortId.EndChunk();
    shortId.EndChunk();
    EXPECT_EQ(loadBase(map, shortId.Bytes()), IO_ERROR);

    // A name of an odd number of bytes is no UTF-16 text.
    standin::ChunkWriter oddName;
    oddName.BeginChunk(0x4000);
    oddName.BeginChunk(MTLBASE_NAME_CHUNK);
    const std::uint8_t three[3] = {'a', 0, 0};
    ULONG written = 0;
    oddName.Write(three, 3, &written);
    oddName.EndChunk();
    oddName.EndChunk();
    EXPECT_EQ(loadBase(map, oddName.Bytes()), IO_ERROR);
}

}  // namespace
