// Greyscale texture maps built into the host, for use as thickness maps (or
// any mono input): a gradient, a 3D noise, a PNG bitmap and a constant.
//
// Each keeps its parameters in block 0 (reference 0), so they animate, show in
// a generated panel, and save and load like any parameter. Update caches the
// values of its time (time 0 until the first Update; a changed parameter is
// re-read at once); evaluation reads only that cache: it allocates nothing,
// takes no lock and writes only into the shading context. EvalColor is the
// mono value in r, g and b with alpha 1. A non-zero G-buffer ID is reported to
// the shading context by every evaluation.
#pragma once

#include <string>

#include "imtl.h"
#include "iparamb2.h"
#include "png/grey_image.h"

namespace standin {

// ---- Class identity (super class TEXMAP_CLASS_ID) ---------------------------------

inline constexpr Class_ID kGreyGradientClassID{0x2F0B6A31, 0x61C24D10};
inline constexpr Class_ID kGreyNoiseClassID{0x2F0B6A32, 0x1E7A93C5};
inline constexpr Class_ID kGreyBitmapClassID{0x2F0B6A33, 0x4B0D57E2};
inline constexpr Class_ID kGreyConstantClassID{0x2F0B6A34, 0x7C35A18F};

/// The map channel the maps read their texture coordinates from.
inline constexpr int kGreyMapChannel = 1;

// ---- Parameters (IDs are stored in scene files: append only) ------------------

enum GreyGradientParam : ParamID {
    gradient_start = 0,  ///< "start", float: the value at coordinate 0
    gradient_end = 1,    ///< "end", float: the value at coordinate 1
    gradient_axis = 2,   ///< "axis", int: 0 = along U, 1 = along V
};

enum GreyNoiseParam : ParamID {
    noise_size = 0,            ///< "size", float: feature size in the units of P()
    noise_levels = 1,          ///< "levels", float in [1, 10]: fractal octaves
    noise_threshold_low = 2,   ///< "thresholdlow", float in [0, 1]
    noise_threshold_high = 3,  ///< "thresholdhigh", float in [0, 1]
    noise_phase = 4,           ///< "phase", float: moves through the noise's fourth axis
};

enum GreyBitmapParam : ParamID {
    bitmap_tiling_u = 0,  ///< "tilingu", float: repeats of the image across U
    bitmap_tiling_v = 1,  ///< "tilingv", float: repeats across V
};

enum GreyConstantParam : ParamID {
    constant_value = 0,  ///< "value", float (any value, not only [0, 1])
};

// ---- Class descriptors (registered at host start-up) ---------------------------

ClassDesc2* GreyGradientDesc();
ClassDesc2* GreyNoiseDesc();
ClassDesc2* GreyBitmapDesc();
ClassDesc2* GreyConstantDesc();

// ---- Maps ----------------------------------------------------------------------

/// What the grey maps share: the block, its cache, panels, saving, cloning.
class GreyMap : public Texmap {
public:
    // Animatable
    Class_ID ClassID() override { return desc_->ClassID(); }
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
    RefTargetHandle GetReference(int i) override { return i == 0 ? block_ : nullptr; }

    // MtlBase
    void Update(TimeValue t, Interval& valid) override;
    /// Every parameter back to its default.
    void Reset() override;
    Interval Validity(TimeValue t) override;
    /// A generated panel with one control per parameter.
    ParamDlg* CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) override;
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    // Texmap
    AColor EvalColor(ShadeContext& sc) override;
    float EvalMono(ShadeContext& sc) override;
    /// Zero: the maps have no bump.
    Point3 EvalNormalPerturb(ShadeContext& sc) override;
    bool IsLocalOutputMeaningful(ShadeContext&) override { return true; }

protected:
    explicit GreyMap(ClassDesc2* desc) : desc_(desc) {}
    /// Builds the block and fills the cache; the last step of every derived
    /// constructor (the cache is filled through virtual functions).
    void Initialise();
    /// Copies this map's base data into `clone` and gives it a clone of the
    /// block made through `remap`.
    void CloneInto(GreyMap* clone, RemapDir& remap);

    /// The value at the sample, from the cache.
    virtual float MonoAt(ShadeContext& sc) const = 0;
    /// Reads the block's values at t into the cache, narrowing `valid`.
    virtual void CacheValues(IParamBlock2& block, TimeValue t, Interval& valid) = 0;
    /// Chunks of the map's own beyond MtlBase's.
    virtual IOResult SaveOwnChunks(ISave* /*isave*/) { return IO_OK; }
    /// Reads one chunk `id` that is not MtlBase's; unknown ones are skipped.
    virtual IOResult LoadOwnChunk(ILoad* /*iload*/, USHORT /*id*/) { return IO_OK; }

    void SetReference(int i, RefTargetHandle rtarg) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;

private:
    void Recache(TimeValue t);

    ClassDesc2* desc_;
    IParamBlock2* block_ = nullptr;  // reference 0
    Interval validity_ = NEVER;      // times the cache holds for
    TimeValue cacheTime_ = 0;
    bool initialised_ = false;
};

/// A linear ramp across the texture: value = (1 - c) start + c end, where c is
/// the U (axis 0) or V (axis 1) coordinate limited to [0, 1], so the ends hold
/// beyond the texture's edges. Defaults: start 0, end 1, along U.
class GreyGradientMap final : public GreyMap {
public:
    GreyGradientMap();
    RefTargetHandle Clone(RemapDir& remap) override;

protected:
    float MonoAt(ShadeContext& sc) const override;
    void CacheValues(IParamBlock2& block, TimeValue t, Interval& valid) override;

private:
    float start_ = 0.0f;
    float end_ = 1.0f;
    int axis_ = 0;
};

/// Fractal gradient noise of the shading point P(): n = FractalNoise4(P / size,
/// phase, levels) in [-1, 1] becomes v = (n + 1) / 2, then the thresholds
/// stretch [low, high] to [0, 1] (below low: 0, above high: 1; equal
/// thresholds make a hard step). The same point, parameters and phase always
/// give the same value. Defaults: size 0.5, levels 3, thresholds 0 and 1,
/// phase 0.
class GreyNoiseMap final : public GreyMap {
public:
    GreyNoiseMap();
    RefTargetHandle Clone(RemapDir& remap) override;

protected:
    float MonoAt(ShadeContext& sc) const override;
    void CacheValues(IParamBlock2& block, TimeValue t, Interval& valid) override;

private:
    float size_ = 0.5f;
    float levels_ = 3.0f;
    float low_ = 0.0f;
    float high_ = 1.0f;
    float phase_ = 0.0f;
};

/// A PNG image (see png/png_grey_reader.h for how pixels become linear
/// grey values) sampled bilinearly at (U tiling u, V tiling v), tiling
/// endlessly (see SampleBilinearTiled). Without an image it evaluates to 0.
/// The file name is no block parameter: the map saves it in a chunk of its
/// own and reads the image again when loaded. Tilings default to 1.
class GreyBitmapMap final : public GreyMap {
public:
    GreyBitmapMap();
    RefTargetHandle Clone(RemapDir& remap) override;

    /// Reads the PNG file at `fileName` and uses it from now on. On failure
    /// the map keeps its file and image, `error` names the file and the
    /// problem, and the result is false.
    bool SetFileName(const MSTR& fileName, std::string& error);
    /// The file the map's image came from ("" for none).
    const MSTR& GetFileName() const { return fileName_; }
    /// Why the image of the file named by a loaded scene could not be read
    /// ("" when it was read): the map keeps the name, so that the scene still
    /// loads and the file can be put back, and evaluates to 0 meanwhile.
    const std::string& ImageError() const { return imageError_; }
    const GreyImage& Image() const { return image_; }

protected:
    float MonoAt(ShadeContext& sc) const override;
    void CacheValues(IParamBlock2& block, TimeValue t, Interval& valid) override;
    IOResult SaveOwnChunks(ISave* isave) override;
    IOResult LoadOwnChunk(ILoad* iload, USHORT id) override;

private:
    MSTR fileName_;
    GreyImage image_;
    std::string imageError_;
    float tilingU_ = 1.0f;
    float tilingV_ = 1.0f;
};

/// Chunk of GreyBitmapMap::Save holding the file name (UTF-16).
inline constexpr USHORT kGreyBitmapFileNameChunk = 0x4100;

/// One value everywhere (default 0). It may lie outside [0, 1]: a thickness
/// map value then extrapolates between the thickness limits.
class GreyConstantMap final : public GreyMap {
public:
    GreyConstantMap();
    RefTargetHandle Clone(RemapDir& remap) override;

protected:
    float MonoAt(ShadeContext& sc) const override;
    void CacheValues(IParamBlock2& block, TimeValue t, Interval& valid) override;

private:
    float value_ = 0.0f;
};

}  // namespace standin
