// The texture map: caches its parameters at each update and evaluates the
// coating colour for every shaded sample.
#pragma once

#include "plugin/host.h"
#include "plugin/metal_table_store.h"
#include "plugin/render_shared.h"

/// Scene-file chunks written and read by the map itself (the host stores the
/// parameter block and the referenced objects).
inline constexpr USHORT BASE_HEADER_CHUNK = 0x4000;
/// Read only: written by earlier versions to store the map switch as off.
inline constexpr USHORT THICKNESS_MAP_OFF_CHUNK = 0x1000;

class Nacrelle : public Texmap {
public:
    Nacrelle();
    ~Nacrelle() override;

    // Animatable
    Class_ID ClassID() override;
    SClass_ID SuperClassID() override;
    void GetClassName(MSTR& s, bool localized = true) const override;
    void DeleteThis() override;
    int NumSubs() override;
    Animatable* SubAnim(int i) override;
    MSTR SubAnimName(int i, bool localized = true) override;
    int SubNumToRefNum(int subNum) override;
    int NumParamBlocks() override;
    IParamBlock2* GetParamBlock(int i) override;
    IParamBlock2* GetParamBlockByID(BlockID id) override;

    // ReferenceMaker / ReferenceTarget
    int NumRefs() override;
    RefTargetHandle GetReference(int i) override;
    RefTargetHandle Clone(RemapDir& remap) override;

    // MtlBase
    void Update(TimeValue t, Interval& valid) override;
    void Reset() override;
    Interval Validity(TimeValue t) override;
    ParamDlg* CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    // ISubMap
    int NumSubTexmaps() override;
    Texmap* GetSubTexmap(int i) override;
    void SetSubTexmap(int i, Texmap* m) override;
    MSTR GetSubTexmapSlotName(int i, bool localized = true) override;
    BOOL SetDlgThing(ParamDlg* dlg) override;

    // Texmap
    AColor EvalColor(ShadeContext& sc) override;
    /// Passed on to the output filter, as the host's own maps do.
    void SetOutputLevel(TimeValue t, float v) override;
    float EvalMono(ShadeContext& sc) override;
    Point3 EvalNormalPerturb(ShadeContext& sc) override;
    void GetUVTransform(Matrix3& uvtrans) override;
    /// The colour depends on the viewing angle.
    ULONG LocalRequirements(int subMtlNum) override;
    bool IsLocalOutputMeaningful(ShadeContext& sc) override;

    // Interactive display in the viewport: the colour seen head on across
    // the map's UV space.
    BOOL SupportTexDisplay() override;
    void ActivateTexDisplay(BOOL onoff) override;
    DWORD_PTR GetActiveTexHandle(TimeValue t, TexHandleMaker& thmaker) override;

    /// Makes the "Max:" thickness row and the thickness-map button of the open
    /// panel available only while the map switch is on, and the "Internal:"
    /// index and "Physical phases" only while no metal base replaces them.
    void UpdateThicknessMapUI();

protected:
    void SetReference(int i, RefTargetHandle rtarg) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget,
                               PartID& partID, RefMessage message, BOOL propagate) override;

private:
    void ResetToDefaults();
    void DiscardTexHandle();

    // What evaluation reads is written by Update while an interactive
    // renderer's threads may still read it: see RenderShared.
    Interval validity;                 // times the cache below holds for; NEVER = stale
    // Parameters 2, 3, 4, 0, 1, 8, 9, and 7 at time 0 whatever time is
    // updated: gamma never animates the map nor narrows `validity`, and is
    // read in Update, since evaluation may not read the block from render
    // threads.
    RenderSharedFilm film;
    RenderSharedOptics optics;         // parameters 11, 12, 13, made usable
    RenderShared<const nacrelle::SpectralTables*> spectralTables;  // set at update while spectral
    // A spectral metal base's amplitudes for the map's indices, found or
    // made at update; the store keeps every table until the map goes.
    RenderShared<const nacrelle::MetalFilmTable*> metalFilmTable;
    MetalTableStore metalFilmTables;
    IParamBlock2* paramBlock;          // reference 0
    Texmap* thicknessMap[1];           // reference 1 = sub-map slot 0
    RenderShared<int> useThicknessMap; // parameter 6
    TextureOutput* textureOutput;      // reference 2
    TexHandle* texHandle = nullptr;    // the viewport's picture, while active
    Interval texHandleValid;           // the times it shows the map for
};
