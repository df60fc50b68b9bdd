// The standard output filter as a host class: descriptor, block, filtering.
#include "maps/standard_texture_output.h"

#include "builtin_class_desc.h"
#include "panels/panels.h"

namespace standin {

ClassDesc2* StandardTextureOutputDesc() {
    static detail::BuiltinClassDesc desc(
        L"Output", L"StandardOutput", TEXOUTPUT_CLASS_ID, kStandardTextureOutputClassID, L"", false,
        []() -> Animatable* { return new StandardTextureOutput(); });
    // Ranges are wide: a user may push a map far past 1 on purpose.
    // clang-format off
    static ParamBlockDesc2 block(
        0, L"parameters", detail::IDS_BUILTIN_OUTPUT_TITLE, &desc, P_AUTO_CONSTRUCT, 0,
        texout_output_amount, L"outputamount", TYPE_FLOAT, P_ANIMATABLE,
            detail::IDS_BUILTIN_OUTPUT_AMOUNT, p_default, 1.0, p_range, 0.0, 1000.0, p_end,
        texout_rgb_level, L"rgblevel", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_RGB_LEVEL,
            p_default, 1.0, p_range, -1000.0, 1000.0, p_end,
        texout_rgb_offset, L"rgboffset", TYPE_FLOAT, P_ANIMATABLE, detail::IDS_BUILTIN_RGB_OFFSET,
            p_default, 0.0, p_range, -1000.0, 1000.0, p_end,
        texout_invert, L"invert", TYPE_BOOL, 0, detail::IDS_BUILTIN_INVERT,
            p_default, FALSE, p_end,
        texout_clamp, L"clamp", TYPE_BOOL, 0, detail::IDS_BUILTIN_CLAMP,
            p_default, FALSE, p_end,
        texout_alpha_from_rgb, L"alphafromrgb", TYPE_BOOL, 0, detail::IDS_BUILTIN_ALPHA_FROM_RGB,
            p_default, FALSE, p_end,
        p_end);
    // clang-format on
    return &desc;
}

StandardTextureOutput::StandardTextureOutput() {
    StandardTextureOutputDesc()->MakeAutoParamBlocks(this);
    initialised_ = true;
    Recache(0);
}

void StandardTextureOutput::GetClassName(MSTR& s, bool) const {
    s = StandardTextureOutputDesc()->ClassName();
}

Animatable* StandardTextureOutput::SubAnim(int i) { return i == 0 ? block_ : nullptr; }

MSTR StandardTextureOutput::SubAnimName(int i, bool) {
    return i == 0 ? MSTR(detail::BuiltinString(detail::IDS_BUILTIN_PARAMETERS)) : MSTR();
}

IParamBlock2* StandardTextureOutput::GetParamBlockByID(short id) {
    return block_ != nullptr && block_->ID() == id ? block_ : nullptr;
}

RefTargetHandle StandardTextureOutput::GetReference(int i) { return i == 0 ? block_ : nullptr; }

void StandardTextureOutput::SetReference(int i, RefTargetHandle rtarg) {
    if (i != 0) return;
    // Only a block of this class's definition: a damaged scene file could
    // offer any object here.
    auto* block = static_cast<IParamBlock2*>(nullptr);
    if (rtarg != nullptr && rtarg->SuperClassID() == PARAMETER_BLOCK2_CLASS_ID) {
        block = static_cast<IParamBlock2*>(rtarg);
        if (block->GetDesc() != StandardTextureOutputDesc()->GetParamBlockDesc(0)) block = nullptr;
    }
    block_ = block;
    Recache(cacheTime_);
}

RefTargetHandle StandardTextureOutput::Clone(RemapDir& remap) {
    auto* clone = new StandardTextureOutput();
    *static_cast<MtlBase*>(clone) = *this;
    clone->ReplaceReference(0, remap.CloneRef(block_));
    BaseClone(this, clone, remap);
    return clone;
}

RefResult StandardTextureOutput::NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&,
                                                  RefMessage message, BOOL) {
    // Settings changed: Filter must use them at once, as the panel shows them.
    if (message == REFMSG_CHANGE && hTarget == block_) Recache(cacheTime_);
    return REF_SUCCEED;
}

void StandardTextureOutput::Recache(TimeValue t) {
    if (!initialised_) return;  // the block is being installed by the constructor
    cacheTime_ = t;
    if (block_ == nullptr) {
        cached_ = OutputFilterSettings();
        passThrough_ = true;
        validity_ = FOREVER;
        return;
    }
    Interval valid = FOREVER;
    OutputFilterSettings s;
    int invert = 0, clamp = 0, alphaFromRgb = 0;
    block_->GetValue(texout_output_amount, t, s.outputAmount, valid);
    block_->GetValue(texout_rgb_level, t, s.rgbLevel, valid);
    block_->GetValue(texout_rgb_offset, t, s.rgbOffset, valid);
    block_->GetValue(texout_invert, t, invert, valid);
    block_->GetValue(texout_clamp, t, clamp, valid);
    block_->GetValue(texout_alpha_from_rgb, t, alphaFromRgb, valid);
    s.invert = invert != 0;
    s.clamp = clamp != 0;
    s.alphaFromRgb = alphaFromRgb != 0;
    cached_ = s;
    passThrough_ = ChangesNothing(s);
    validity_ = valid;
}

void StandardTextureOutput::Update(TimeValue t, Interval& valid) {
    if (!validity_.InInterval(t)) Recache(t);
    valid &= validity_;
}

void StandardTextureOutput::Reset() {
    StandardTextureOutputDesc()->Reset(this, TRUE, TRUE);
    Recache(cacheTime_);
}

Interval StandardTextureOutput::Validity(TimeValue t) {
    Interval valid = FOREVER;
    Update(t, valid);
    return valid;
}

ParamDlg* StandardTextureOutput::CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) {
    return block_ != nullptr ? CreateBlockParamDlg(block_, hwMtlEdit, imp) : nullptr;
}

IOResult StandardTextureOutput::Save(ISave* isave) { return detail::SaveBaseChunk(*this, isave); }

IOResult StandardTextureOutput::Load(ILoad* iload) {
    IOResult opened;
    while ((opened = iload->OpenChunk()) == IO_OK) {
        const IOResult result =
            iload->CurChunkID() == detail::kBuiltinBaseChunk ? MtlBase::Load(iload) : IO_OK;
        if (iload->CloseChunk() != IO_OK || result != IO_OK) return IO_ERROR;
    }
    // Loaded on its own, the object may already hold its loaded block, whose
    // values came without notifications. In a scene the loaded block is set
    // only after every Load, through SetReference, which recaches then.
    Recache(cacheTime_);
    return opened == IO_END ? IO_OK : IO_ERROR;
}

void StandardTextureOutput::SetFlag(ULONG f, ULONG val) {
    const BOOL on = val != 0 ? TRUE : FALSE;
    if (f & TEXOUT_INVERT) SetBool(texout_invert, on);
    if (f & TEXOUT_CLAMP) SetBool(texout_clamp, on);
    if (f & TEXOUT_ALPHA_RGB) SetBool(texout_alpha_from_rgb, on);
}

float StandardTextureOutput::GetFloatAt(ParamID id, TimeValue t) {
    return block_ != nullptr ? block_->GetFloat(id, t) : 0.0f;
}

void StandardTextureOutput::SetFloatAt(ParamID id, float v, TimeValue t) {
    if (block_ != nullptr) block_->SetValue(id, t, v);
}

BOOL StandardTextureOutput::GetBool(ParamID id) {
    return block_ != nullptr && block_->GetInt(id, 0) != 0 ? TRUE : FALSE;
}

void StandardTextureOutput::SetBool(ParamID id, BOOL onOff) {
    if (block_ != nullptr) block_->SetValue(id, 0, onOff != 0 ? 1 : 0);
}

}  // namespace standin

TextureOutput* GetNewDefaultTextureOutput() { return new standin::StandardTextureOutput(); }
