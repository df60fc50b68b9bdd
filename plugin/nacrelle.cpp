#include "plugin/nacrelle.h"

#include <cmath>
#include <new>

#include "core/metal_index.h"
#include "core/film_colour.h"
#include "plugin/class_desc.h"
#include "plugin/param_block.h"
#include "plugin/strings.h"
#include "resources/resource.h"

namespace {

constexpr int kNumRefs = 3;

// The options as the optics can use them. Scripts and files may store any
// integer: a base outside the list is the dielectric base, whose stack the
// map has, rather than a metal the user never chose; a switch is on for any
// non-zero value.
nacrelle::OpticsOptions usableOptics(int spectral, int physicalPhase, int baseMetal) {
    nacrelle::OpticsOptions options;
    options.spectral = spectral != 0;
    options.physicalPhase = physicalPhase != 0;
    options.baseMetal = nacrelle::isBaseMetal(baseMetal) ? baseMetal : nacrelle::kBaseDielectric;
    return options;
}

}  // namespace

Nacrelle::Nacrelle() : validity(NEVER), paramBlock(nullptr), thicknessMap{nullptr},
                       useThicknessMap(0), textureOutput(nullptr) {
    GetNacrelleDesc()->MakeAutoParamBlocks(this);
    ResetToDefaults();
}

// The host releases the references before it deletes the map; the viewport's
// picture is the map's own.
Nacrelle::~Nacrelle() { DiscardTexHandle(); }

void Nacrelle::ResetToDefaults() {
    GetNacrelleDesc()->Reset(this, TRUE, TRUE);
    DeleteReference(ref_thickness_map);
    if (textureOutput != nullptr) {
        textureOutput->Reset();
    } else {
        ReplaceReference(ref_texture_output, GetNewDefaultTextureOutput());
    }
    useThicknessMap.set(0);
    validity = NEVER;
    DiscardTexHandle();
}

void Nacrelle::Reset() { ResetToDefaults(); }

Class_ID Nacrelle::ClassID() { return NACRELLE_CLASS_ID; }

SClass_ID Nacrelle::SuperClassID() { return TEXMAP_CLASS_ID; }

void Nacrelle::GetClassName(MSTR& s, bool /*localized*/) const { s = kNacrelleInternalName; }

void Nacrelle::DeleteThis() { delete this; }

int Nacrelle::NumSubs() { return kNumRefs; }

Animatable* Nacrelle::SubAnim(int i) { return GetReference(i); }

MSTR Nacrelle::SubAnimName(int i, bool /*localized*/) {
    switch (i) {
        case ref_param_block: return PluginString(IDS_PARAMS);
        case ref_thickness_map: return GetSubTexmapTVName(0, true);
        case ref_texture_output: return PluginString(IDS_OUTPUT);
        default: return MSTR();
    }
}

int Nacrelle::SubNumToRefNum(int subNum) { return subNum; }

int Nacrelle::NumParamBlocks() { return 1; }

IParamBlock2* Nacrelle::GetParamBlock(int /*i*/) { return paramBlock; }

IParamBlock2* Nacrelle::GetParamBlockByID(BlockID id) {
    return paramBlock != nullptr && paramBlock->ID() == id ? paramBlock : nullptr;
}

int Nacrelle::NumRefs() { return kNumRefs; }

RefTargetHandle Nacrelle::GetReference(int i) {
    switch (i) {
        case ref_param_block: return paramBlock;
        case ref_thickness_map: return thicknessMap[0];
        case ref_texture_output: return textureOutput;
        default: return nullptr;
    }
}

void Nacrelle::SetReference(int i, RefTargetHandle rtarg) {
    switch (i) {
        case ref_param_block: paramBlock = static_cast<IParamBlock2*>(rtarg); break;
        case ref_thickness_map: thicknessMap[0] = static_cast<Texmap*>(rtarg); break;
        case ref_texture_output: textureOutput = static_cast<TextureOutput*>(rtarg); break;
        default: break;  // not a reference of this map
    }
}

RefTargetHandle Nacrelle::Clone(RemapDir& remap) {
    Nacrelle* clone = new Nacrelle();
    *static_cast<MtlBase*>(clone) = *static_cast<MtlBase*>(this);
    clone->ReplaceReference(ref_texture_output, remap.CloneRef(textureOutput));
    clone->ReplaceReference(ref_param_block, remap.CloneRef(paramBlock));
    clone->validity = NEVER;
    clone->thicknessMap[0] = nullptr;
    if (thicknessMap[0] != nullptr) {
        clone->ReplaceReference(ref_thickness_map, remap.CloneRef(thicknessMap[0]));
        clone->useThicknessMap.set(useThicknessMap.get());
    }
    BaseClone(this, clone, remap);
    return clone;
}

RefResult Nacrelle::NotifyRefChanged(const Interval& /*changeInt*/, RefTargetHandle hTarget,
                                     PartID& /*partID*/, RefMessage message, BOOL /*propagate*/) {
    if (message == REFMSG_CHANGE) {
        validity = NEVER;
        DiscardTexHandle();
        if (hTarget == paramBlock) {
            nacrelleParamBlockDesc.InvalidateUI(paramBlock->LastNotifyParamID());
        }
    }
    return REF_SUCCEED;
}

void Nacrelle::Update(TimeValue t, Interval& valid) {
    if (paramBlock == nullptr) return;
    if (!validity.InInterval(t)) {
        validity = FOREVER;
        if (textureOutput != nullptr) textureOutput->Update(t, validity);
        IParamBlock2* block = GetParamBlock(0);
        int useMap = 0;
        block->GetValue(pb_thickness_map_enabled, t, useMap, validity);
        useThicknessMap.set(useMap);
        // Kept up to date even while switched off, so switching on is instant.
        if (thicknessMap[0] != nullptr) thicknessMap[0]->Update(t, validity);
        nacrelle::FilmStack stack{};
        block->GetValue(pb_thickness_min, t, stack.thicknessMin, validity);
        block->GetValue(pb_thickness_max, t, stack.thicknessMax, validity);
        block->GetValue(pb_n_medium, t, stack.nMedium, validity);
        block->GetValue(pb_n_film, t, stack.nFilm, validity);
        block->GetValue(pb_n_internal, t, stack.nInternal, validity);
        float hue = 0.0f, saturation = 0.0f;
        block->GetValue(pb_hue, t, hue, validity);
        block->GetValue(pb_saturation, t, saturation, validity);
        int spectral = 0, physicalPhase = 0, baseMetal = 0;
        block->GetValue(pb_spectral, t, spectral, validity);
        block->GetValue(pb_physical_phase, t, physicalPhase, validity);
        block->GetValue(pb_base_metal, t, baseMetal, validity);
        const nacrelle::OpticsOptions options = usableOptics(spectral, physicalPhase, baseMetal);
        // Built once for the module, here rather than on a render thread.
        if (options.spectral) spectralTables.set(&nacrelle::spectralTables());
        metalFilmTable.set(options.spectralOnMetal()
                               ? metalFilmTables.tableFor(options.baseMetal, stack.nMedium,
                                                          stack.nFilm)
                               : nullptr);
        float gamma = 1.0f;
        Interval gammaValidity = FOREVER;  // not the map's: see `film`
        block->GetValue(pb_gamma, 0, gamma, gammaValidity);
        film.set(stack, {hue, saturation, gamma});
        optics.set(options);
    }
    valid &= validity;
}

Interval Nacrelle::Validity(TimeValue t) {
    Interval scratch = NEVER;
    Update(t, scratch);
    return validity;
}

int Nacrelle::NumSubTexmaps() { return 1; }

Texmap* Nacrelle::GetSubTexmap(int i) { return i == 0 ? thicknessMap[0] : nullptr; }

void Nacrelle::SetSubTexmap(int i, Texmap* m) {
    // Slot 0 is the only one; reference i + 1 of any other slot would be the
    // output filter.
    if (i != 0) return;
    ReplaceReference(ref_thickness_map, m);
    nacrelleParamBlockDesc.InvalidateUI(pb_thickness_map);
    validity = NEVER;
    DiscardTexHandle();
}

AColor Nacrelle::EvalColor(ShadeContext& sc) {
    if (GetGBufID() != 0) sc.SetGBufferID(GetGBufID());

    Texmap* map = thicknessMap[0];
    const float m = useThicknessMap.get() != 0 && map != nullptr ? map->EvalMono(sc) : 0.0f;

    const float cosine = nacrelle::viewingCosine(sc.Normal(), sc.V());

    const nacrelle::FilmStack stack = film.stack();
    const nacrelle::ColourAdjust adjust = film.adjust();
    const RenderSharedOptics::Value options = optics.get();
    const nacrelle::Colour colour =
        options.threeWavelengthModel()
            ? nacrelle::filmColour(cosine, m, stack, adjust)
            : nacrelle::filmColour(cosine, m, stack, adjust, options.options(),
                                   spectralTables.get(), metalFilmTable.get());
    return textureOutput->Filter(AColor(colour.r, colour.g, colour.b, colour.a));
}

void Nacrelle::SetOutputLevel(TimeValue t, float v) {
    if (textureOutput != nullptr) textureOutput->SetOutputLevel(t, v);
}

float Nacrelle::EvalMono(ShadeContext& sc) {
    if (GetGBufID() != 0) sc.SetGBufferID(GetGBufID());
    const AColor c = EvalColor(sc);
    return (c.r + c.g + c.b) / 3.0f;
}

Point3 Nacrelle::EvalNormalPerturb(ShadeContext& sc) {
    if (GetGBufID() != 0) sc.SetGBufferID(GetGBufID());
    return Point3(0.0f, 0.0f, 0.0f);
}

void Nacrelle::GetUVTransform(Matrix3& uvtrans) { uvtrans.IdentityMatrix(); }

ULONG Nacrelle::LocalRequirements(int /*subMtlNum*/) { return MTLREQ_VIEW_DEP; }

bool Nacrelle::IsLocalOutputMeaningful(ShadeContext& /*sc*/) { return true; }

BOOL Nacrelle::SupportTexDisplay() { return TRUE; }

void Nacrelle::ActivateTexDisplay(BOOL onoff) {
    if (!onoff) DiscardTexHandle();
}

DWORD_PTR Nacrelle::GetActiveTexHandle(TimeValue t, TexHandleMaker& thmaker) {
    if (texHandle != nullptr) {
        if (texHandleValid.InInterval(t)) return texHandle->GetHandle();
        DiscardTexHandle();
    }
    // The host's picture of the map over its UV space, seen head on; the
    // handle takes the picture over.
    texHandleValid = FOREVER;
    BITMAPINFO* picture = GetVPDisplayDIB(t, thmaker, texHandleValid);
    if (picture == nullptr) return 0;
    texHandle = thmaker.MakeHandle(picture);
    return texHandle != nullptr ? texHandle->GetHandle() : 0;
}

void Nacrelle::DiscardTexHandle() {
    if (texHandle == nullptr) return;
    texHandle->DeleteThis();
    texHandle = nullptr;
}

IOResult Nacrelle::Save(ISave* isave) {
    isave->BeginChunk(BASE_HEADER_CHUNK);
    const IOResult result = MtlBase::Save(isave);
    if (result != IO_OK) return result;
    isave->EndChunk();
    return IO_OK;
}

IOResult Nacrelle::Load(ILoad* iload) {
    while (iload->OpenChunk() == IO_OK) {
        IOResult result = IO_OK;
        switch (iload->CurChunkID()) {
            case BASE_HEADER_CHUNK: result = MtlBase::Load(iload); break;
            case THICKNESS_MAP_OFF_CHUNK: useThicknessMap.set(0); break;
            default: break;  // written by a later version: skip
        }
        iload->CloseChunk();
        if (result != IO_OK) return result;
    }
    return IO_OK;
}
