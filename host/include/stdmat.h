// Texture output filters: the adjustment every map's result passes through on
// its way to the renderer (output amount, RGB level and offset, invert, clamp,
// alpha from RGB intensity).
#pragma once

#include "acolor.h"
#include "imtl.h"
#include "point3.h"

// Flags of StdTexoutGen::SetFlag.
#define TEXOUT_INVERT 2
#define TEXOUT_CLAMP 4
#define TEXOUT_ALPHA_RGB 8

/// A texture output filter. Filter is const in effect: it reads what the last
/// Update cached and may run on many render threads at once.
class TextureOutput : public MtlBase {
public:
    SClass_ID SuperClassID() override { return TEXOUTPUT_CLASS_ID; }

    virtual AColor Filter(AColor c) = 0;
    virtual float Filter(float f) = 0;
    /// Filters a bump perturbation.
    virtual Point3 Filter(Point3 p) = 0;

    /// Output amount ("output level").
    virtual float GetOutputLevel(TimeValue t) = 0;
    virtual void SetOutputLevel(TimeValue t, float v) = 0;
    virtual BOOL GetInvert() = 0;
    virtual void SetInvert(BOOL onOff) = 0;
    /// Whether the filter's rollout is shown open in the editor.
    virtual BOOL GetRollupOpen() = 0;
    virtual void SetRollupOpen(BOOL open) = 0;
    /// An output filter's slots (it has none of its own) are ordinary textures.
    int MapSlotType(int /*i*/) override { return MAPSLOT_TEXTURE; }
};

/// The standard output filter's settings beyond TextureOutput's.
class StdTexoutGen : public TextureOutput {
public:
    /// Sets (val non-zero) or clears each TEXOUT_ flag in `f`.
    virtual void SetFlag(ULONG f, ULONG val) = 0;
    virtual float GetOutAmt(TimeValue t) = 0;
    virtual void SetOutAmt(float v, TimeValue t) = 0;
    /// RGB level: multiplies the colour.
    virtual float GetRGBAmt(TimeValue t) = 0;
    virtual void SetRGBAmt(float v, TimeValue t) = 0;
    /// RGB offset: added to the colour.
    virtual float GetRGBOff(TimeValue t) = 0;
    virtual void SetRGBOff(float v, TimeValue t) = 0;
    virtual BOOL GetClamp() = 0;
    virtual void SetClamp(BOOL onOff) = 0;
    virtual BOOL GetAlphaFromRGB() = 0;
    virtual void SetAlphaFromRGB(BOOL onOff) = 0;
};
