// Materials and texture maps as the renderer sees them: the shading context of
// one sample (ShadeContext), the common base of maps and materials (MtlBase),
// their sub-map slots (ISubMap) and texture maps (Texmap).
#pragma once

#include "acolor.h"
#include "interval.h"
#include "ioapi.h"
#include "matrix3.h"
#include "maxheap.h"
#include "maxtypes.h"
#include "point3.h"
#include "ref.h"
#include "strclass.h"
#include "TexHandle.h"
#include "win_shim.h"

class ParamDlg;
class Texmap;
class TextureOutput;

// ---- Shading context ---------------------------------------------------------

/// ShadeContext::mode values.
#define SCMODE_NORMAL 0
#define SCMODE_SHADOW 1

/// What a material hands back for a sample besides its colour.
class ShadeOutput : public MaxHeapOperators {
public:
    ULONG flags = 0;
    Color c;  ///< shaded colour
    Color t;  ///< transparency
    float ior = 1.0f;
    int gbufId = 0;  ///< G-buffer (effects) ID of the surface, 0 for none

    /// Back to "nothing shaded yet".
    void Reset() {
        flags = 0;
        c = Color();
        t = Color();
        ior = 1.0f;
        gbufId = 0;
    }
};

/// Everything a map or material may ask about the sample being shaded. The
/// renderer implements it; maps read it and write only into `out`.
class ShadeContext : public MaxHeapOperators {
public:
    /// SCMODE_NORMAL or SCMODE_SHADOW.
    int mode = SCMODE_NORMAL;
    /// Whether maps are evaluated at all, and whether they are filtered.
    BOOL doMaps = TRUE;
    BOOL filterMaps = TRUE;
    BOOL shadow = FALSE;
    /// TRUE when the sample lies on the back of a face.
    BOOL backFace = FALSE;
    /// Material (sub-material) number of the face.
    int mtlNum = 0;
    Color ambientLight;
    int nLights = 0;
    /// Ray depth: 0 for camera rays.
    int rayLevel = 0;
    int xshadeID = 0;
    ShadeOutput out;

    virtual ~ShadeContext() = default;

    /// Stores `gbid` as the sample's output G-buffer ID; wrapping contexts
    /// override it to pass the ID on.
    virtual void SetGBufferID(int gbid) { out.gbufId = gbid; }

    /// Resets the output before the next sample.
    virtual void ResetOutput(int /*n*/ = -1) { out.Reset(); }

    /// TRUE while shading a material-editor sample slot.
    virtual BOOL InMtlEditor() = 0;
    /// Time of the frame being rendered.
    virtual TimeValue CurTime() = 0;
    /// TRUE when maps should be filtered (antialiased).
    virtual int Antialias() { return filterMaps; }
    /// Index of the face being shaded, or 0.
    virtual int FaceNumber() { return 0; }
    virtual int NodeID() { return -1; }

    /// Unit shading normal, facing the viewer.
    virtual Point3 Normal() = 0;
    virtual void SetNormal(Point3 p) = 0;
    /// The normal before bump mapping.
    virtual Point3 OrigNormal() { return Normal(); }
    /// The geometric (face) normal.
    virtual Point3 GNormal() { return Normal(); }
    /// Unit view vector: from the camera towards the sample point.
    virtual Point3 V() = 0;
    virtual void SetView(Point3 p) = 0;
    /// The view vector mirrored about the shading normal.
    virtual Point3 ReflectVector() {
        const Point3 n = Normal();
        const Point3 v = V();
        return v - n * (2.0f * DotProd(n, v));
    }
    /// Camera position in the space of P().
    virtual Point3 CamPos() { return Point3(); }

    /// The sample point (in the renderer's camera space).
    virtual Point3 P() = 0;
    /// The sample's footprint in P's space (for filtering).
    virtual Point3 DP() { return Point3(); }
    /// The sample point in object space.
    virtual Point3 PObj() { return P(); }
    virtual Point3 DPObj() { return DP(); }

    /// Texture coordinates of map channel `channel` (1 is the first channel; 0
    /// is the vertex-colour channel on the host, treated like 1 here).
    virtual Point3 UVW(int channel = 0) = 0;
    /// The sample's footprint in UVW (for filtering).
    virtual Point3 DUVW(int channel = 0) = 0;
    /// Derivatives of P with respect to U, V and W.
    virtual void DPdUVW(Point3 dP[3], int /*channel*/ = 0) { dP[0] = dP[1] = dP[2] = Point3(); }
};

// ---- Sub-map slots -------------------------------------------------------------

/// ISubMap::MapSlotType values.
#define MAPSLOT_TEXTURE 0
#define MAPSLOT_ENVIRON 1
#define MAPSLOT_DISPLACEMENT 2
#define MAPSLOT_BACKGROUND 3

/// The sub-map slots of a map or material.
class ISubMap {
public:
    virtual ~ISubMap() = default;

    virtual int NumSubTexmaps() { return 0; }
    virtual Texmap* GetSubTexmap(int /*i*/) { return nullptr; }
    virtual void SetSubTexmap(int /*i*/, Texmap* /*m*/) {}
    /// MAPSLOT_TEXTURE or one of the other MAPSLOT_ kinds.
    virtual int MapSlotType(int i) = 0;
    /// Non-zero when slot i is switched on.
    virtual int SubTexmapOn(int /*i*/) { return 1; }
    /// The name of slot i as the panel shows it.
    virtual MSTR GetSubTexmapSlotName(int /*i*/, bool /*localized*/) { return MSTR(); }
    /// The name of slot i as the track view shows it: the slot name, then,
    /// when a map is assigned, ": " and the map's name, or its class name
    /// while it has none ("Thickness Map: Grey Noise"). An empty slot name
    /// leaves just the map's part.
    MSTR GetSubTexmapTVName(int i, bool localized = true);
    /// Offered a panel that the master panel moves to this object: TRUE when
    /// this object took it (and moved it to the right sub-object).
    virtual BOOL SetDlgThing(ParamDlg* /*dlg*/) { return FALSE; }
    /// This object as a reference target.
    virtual ReferenceTarget* GetRefTarget() = 0;
};

// ---- Materials and maps ---------------------------------------------------------

/// What a map or material needs from the renderer (Requirements).
#define MTLREQ_TRANSP (1 << 3)
#define MTLREQ_UV (1 << 4)
/// "Maps or materials which depend on the view should set this bit."
#define MTLREQ_VIEW_DEP (1 << 15)

/// The material editor as a panel sees it.
class IMtlParams : public MaxHeapOperators {
public:
    virtual ~IMtlParams() = default;
    /// Tells the editor that the edited material or map changed.
    virtual void MtlChanged() = 0;
    /// The editor's current time.
    virtual TimeValue GetTime() = 0;
};

/// Base of materials, maps and output filters: a name, a G-buffer ID and the
/// operations the renderer and the editor call.
class MtlBase : public ReferenceTarget, public ISubMap {
public:
    MtlBase() = default;
    /// Copies this base's own data (name and G-buffer ID); references and
    /// everything of the derived class stay as they are.
    MtlBase& operator=(const MtlBase& other);

    const MSTR& GetName() const { return name_; }
    void SetName(const MSTR& name) { name_ = name; }
    /// G-buffer (effects) ID: renderers tag the map's samples with it; 0 for none.
    ULONG GetGBufID() const { return gbufID_; }
    void SetGBufID(ULONG id) { gbufID_ = id; }

    /// Makes the object ready to evaluate at time t and narrows `valid` to
    /// the times its result holds for.
    virtual void Update(TimeValue t, Interval& valid) = 0;
    /// Returns every parameter to its default.
    virtual void Reset() = 0;
    /// The times around t over which the object's result does not change.
    virtual Interval Validity(TimeValue t) = 0;
    /// The object's editor panel.
    virtual ParamDlg* CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) = 0;

    /// MTLREQ_ flags: this object's LocalRequirements with its sub-maps'
    /// Requirements.
    virtual ULONG Requirements(int subMtlNum);
    /// What this object itself needs, without its sub-maps.
    virtual ULONG LocalRequirements(int /*subMtlNum*/) { return 0; }

    /// Interactive display: TRUE when the object can show itself in the
    /// viewport; the viewport then activates it and asks for its handle.
    virtual BOOL SupportTexDisplay() { return FALSE; }
    /// Off: the object lets go of its viewport texture.
    virtual void ActivateTexDisplay(BOOL /*onoff*/) {}
    /// The viewport texture for time t, made through `thmaker`; 0 for none.
    virtual DWORD_PTR GetActiveTexHandle(TimeValue /*t*/, TexHandleMaker& /*thmaker*/) { return 0; }

    /// Writes this base's own data (name, G-buffer ID) as chunks into the
    /// current chunk. Objects call it from their Save, inside a chunk of their
    /// own.
    IOResult Save(ISave* isave) override;
    /// Reads the chunks MtlBase::Save wrote, up to the end of the current
    /// chunk; chunks it does not know are skipped. IO_ERROR for a damaged
    /// chunk (the name or ID cut short).
    IOResult Load(ILoad* iload) override;

    /// Copies this base's data from `from` to `to` when both are MtlBase.
    void BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap) override;

    ReferenceTarget* GetRefTarget() override { return this; }

private:
    MSTR name_;
    ULONG gbufID_ = 0;
};

/// Chunks of MtlBase::Save.
inline constexpr USHORT MTLBASE_NAME_CHUNK = 0x5300;
inline constexpr USHORT MTLBASE_GBUFID_CHUNK = 0x5310;

/// A texture map: a colour, a mono value and a bump perturbation per sample.
/// Evaluation is const in effect: it may run on many render threads at once
/// between updates, and writes only into the shading context.
class Texmap : public MtlBase {
public:
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    /// A map's sub-maps are ordinary textures.
    int MapSlotType(int /*i*/) override { return MAPSLOT_TEXTURE; }

    virtual AColor EvalColor(ShadeContext& sc) = 0;
    /// The mean of EvalColor's red, green and blue.
    virtual float EvalMono(ShadeContext& sc);
    /// How the map tilts the shading normal (a bump map's perturbation).
    virtual Point3 EvalNormalPerturb(ShadeContext& sc) = 0;
    /// The map's UV transform; the identity for maps without one.
    virtual void GetUVTransform(Matrix3& uvtrans) { uvtrans.IdentityMatrix(); }

    /// The map as the viewport shows it: updated for t (narrowing `valid`),
    /// then evaluated over its UV space, (0, 0) to (1, 1) at pixel centres,
    /// seen head on (shading normal against the view), into a packed 32-bit
    /// DIB, bottom row first (v = 0), of thmaker.Size() pixels a side or
    /// forceW x forceH. `mono`: the mono value in all three channels. The
    /// DIB is allocated with malloc; null when it cannot be.
    virtual BITMAPINFO* GetVPDisplayDIB(TimeValue t, TexHandleMaker& thmaker, Interval& valid,
                                        BOOL mono = FALSE, int forceW = 0, int forceH = 0);
    /// Sets the output level (the output filter's amount) at t; maps with an
    /// output filter pass it on, others ignore it.
    virtual void SetOutputLevel(TimeValue /*t*/, float /*v*/) {}
    /// Whether the map's output means anything for the sample: true only when
    /// the map's own answer and every sub-map's are.
    virtual bool IsOutputMeaningful(ShadeContext& sc);
    /// The map's own answer; false unless the map says otherwise.
    virtual bool IsLocalOutputMeaningful(ShadeContext& /*sc*/) { return false; }
};

/// A new standard output filter (class (STDTEXOUT_CLASS_ID, 0)) at its
/// defaults, which leave every colour unchanged bit for bit (the order of its
/// steps: maps/output_filter.h). The caller makes it a reference; the host
/// frees it when nothing references it any more. TextureOutput and the
/// standard output class are declared in stdmat.h.
TextureOutput* GetNewDefaultTextureOutput();
