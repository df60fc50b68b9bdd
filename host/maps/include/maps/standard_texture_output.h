// The host's standard texture output filter: its settings live in a parameter
// block (so they animate, and save and load like any parameter); Update
// caches them for Filter, which then only reads.
#pragma once

#include "iparamb2.h"
#include "maps/output_filter.h"
#include "stdmat.h"

namespace standin {

/// Class ID of the standard output filter (super class TEXOUTPUT_CLASS_ID).
inline constexpr Class_ID kStandardTextureOutputClassID{STDTEXOUT_CLASS_ID, 0};

/// Parameters of the filter's block 0 (IDs are stored in scene files: append
/// only).
enum StandardTextureOutputParam : ParamID {
    texout_output_amount = 0,   ///< "outputamount", float, default 1
    texout_rgb_level = 1,       ///< "rgblevel", float, default 1
    texout_rgb_offset = 2,      ///< "rgboffset", float, default 0
    texout_invert = 3,          ///< "invert", bool, default off
    texout_clamp = 4,           ///< "clamp", bool, default off
    texout_alpha_from_rgb = 5,  ///< "alphafromrgb", bool, default off
};

/// The filter's class descriptor (registered at host start-up).
ClassDesc2* StandardTextureOutputDesc();

/// The standard output filter. Filter applies standin::FilterColour with the
/// settings of the time of the last Update (time 0 before any), refreshed
/// whenever a setting changes. Reference 0 is its parameter block.
class StandardTextureOutput final : public StdTexoutGen {
public:
    StandardTextureOutput();

    // Animatable
    Class_ID ClassID() override { return kStandardTextureOutputClassID; }
    void GetClassName(MSTR& s, bool localized) const override;
    void DeleteThis() override { delete this; }
    int NumSubs() override { return 1; }
    Animatable* SubAnim(int i) override;
    MSTR SubAnimName(int i, bool localized) override;
    int SubNumToRefNum(int subNum) override { return subNum == 0 ? 0 : -1; }
    int NumParamBlocks() override { return 1; }
    IParamBlock2* GetParamBlock(int i) override { return i == 0 ? block_ : nullptr; }
    IParamBlock2* GetParamBlockByID(short id) override;

    // References
    int NumRefs() override { return 1; }
    RefTargetHandle GetReference(int i) override;
    RefTargetHandle Clone(RemapDir& remap) override;

    // MtlBase
    void Update(TimeValue t, Interval& valid) override;
    void Reset() override;
    Interval Validity(TimeValue t) override;
    /// A generated panel with one control per setting.
    ParamDlg* CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    // TextureOutput
    // Most maps keep the default filter: their colours skip the five steps.
    AColor Filter(AColor c) override { return passThrough_ ? c : FilterColour(cached_, c); }
    float Filter(float f) override { return FilterMono(cached_, f); }
    Point3 Filter(Point3 p) override { return FilterPerturbation(cached_, p); }
    float GetOutputLevel(TimeValue t) override { return GetOutAmt(t); }
    void SetOutputLevel(TimeValue t, float v) override { SetOutAmt(v, t); }
    BOOL GetInvert() override { return GetBool(texout_invert); }
    void SetInvert(BOOL onOff) override { SetBool(texout_invert, onOff); }
    /// Kept for the panel only; not stored in scenes.
    BOOL GetRollupOpen() override { return rollupOpen_; }
    void SetRollupOpen(BOOL open) override { rollupOpen_ = open ? TRUE : FALSE; }

    // StdTexoutGen
    void SetFlag(ULONG f, ULONG val) override;
    float GetOutAmt(TimeValue t) override { return GetFloatAt(texout_output_amount, t); }
    void SetOutAmt(float v, TimeValue t) override { SetFloatAt(texout_output_amount, v, t); }
    float GetRGBAmt(TimeValue t) override { return GetFloatAt(texout_rgb_level, t); }
    void SetRGBAmt(float v, TimeValue t) override { SetFloatAt(texout_rgb_level, v, t); }
    float GetRGBOff(TimeValue t) override { return GetFloatAt(texout_rgb_offset, t); }
    void SetRGBOff(float v, TimeValue t) override { SetFloatAt(texout_rgb_offset, v, t); }
    BOOL GetClamp() override { return GetBool(texout_clamp); }
    void SetClamp(BOOL onOff) override { SetBool(texout_clamp, onOff); }
    BOOL GetAlphaFromRGB() override { return GetBool(texout_alpha_from_rgb); }
    void SetAlphaFromRGB(BOOL onOff) override { SetBool(texout_alpha_from_rgb, onOff); }

    /// The settings Filter uses now.
    const OutputFilterSettings& CachedSettings() const { return cached_; }

protected:
    void SetReference(int i, RefTargetHandle rtarg) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;

private:
    void Recache(TimeValue t);
    float GetFloatAt(ParamID id, TimeValue t);
    void SetFloatAt(ParamID id, float v, TimeValue t);
    BOOL GetBool(ParamID id);
    void SetBool(ParamID id, BOOL onOff);

    IParamBlock2* block_ = nullptr;  // reference 0
    OutputFilterSettings cached_;
    bool passThrough_ = true;  // ChangesNothing(cached_)
    Interval validity_ = NEVER;  // times cached_ holds for
    TimeValue cacheTime_ = 0;
    bool initialised_ = false;
    BOOL rollupOpen_ = TRUE;
};

}  // namespace standin
