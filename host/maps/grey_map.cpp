// What every grey map shares: its block, references, validity, scene data.
#include "builtin_class_desc.h"
#include "maps/grey_maps.h"
#include "panels/panels.h"

namespace standin {

void GreyMap::Initialise() {
    desc_->MakeAutoParamBlocks(this);
    initialised_ = true;
    Recache(0);
}

void GreyMap::GetClassName(MSTR& s, bool) const { s = desc_->ClassName(); }

Animatable* GreyMap::SubAnim(int i) { return i == 0 ? block_ : nullptr; }

MSTR GreyMap::SubAnimName(int i, bool) {
    return i == 0 ? MSTR(detail::BuiltinString(detail::IDS_BUILTIN_PARAMETERS)) : MSTR();
}

IParamBlock2* GreyMap::GetParamBlockByID(short id) {
    return block_ != nullptr && block_->ID() == id ? block_ : nullptr;
}

void GreyMap::SetReference(int i, RefTargetHandle rtarg) {
    if (i != 0) return;
    // Only a block of this class's definition: a damaged scene file could
    // offer any object here.
    IParamBlock2* block = nullptr;
    if (rtarg != nullptr && rtarg->SuperClassID() == PARAMETER_BLOCK2_CLASS_ID) {
        block = static_cast<IParamBlock2*>(rtarg);
        if (block->GetDesc() != desc_->GetParamBlockDesc(0)) block = nullptr;
    }
    block_ = block;
    Recache(cacheTime_);
}

RefResult GreyMap::NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&,
                                    RefMessage message, BOOL) {
    // A changed parameter counts at once: evaluation and the panel agree.
    if (message == REFMSG_CHANGE && hTarget == block_) Recache(cacheTime_);
    return REF_SUCCEED;
}

void GreyMap::Recache(TimeValue t) {
    if (!initialised_ || block_ == nullptr) return;
    cacheTime_ = t;
    Interval valid = FOREVER;
    CacheValues(*block_, t, valid);
    validity_ = valid;
}

void GreyMap::CloneInto(GreyMap* clone, RemapDir& remap) {
    *static_cast<MtlBase*>(clone) = *this;
    clone->ReplaceReference(0, remap.CloneRef(block_));
    BaseClone(this, clone, remap);
}

void GreyMap::Update(TimeValue t, Interval& valid) {
    if (block_ == nullptr) return;  // the defaults hold forever
    if (!validity_.InInterval(t)) Recache(t);
    valid &= validity_;
}

void GreyMap::Reset() {
    desc_->Reset(this, TRUE, TRUE);
    Recache(cacheTime_);
}

Interval GreyMap::Validity(TimeValue t) {
    Interval valid = FOREVER;
    Update(t, valid);
    return valid;
}

ParamDlg* GreyMap::CreateParamDlg(HWND hwMtlEdit, IMtlParams* imp) {
    return block_ != nullptr ? CreateBlockParamDlg(block_, hwMtlEdit, imp) : nullptr;
}

IOResult GreyMap::Save(ISave* isave) {
    if (detail::SaveBaseChunk(*this, isave) != IO_OK) return IO_ERROR;
    return SaveOwnChunks(isave);
}

IOResult GreyMap::Load(ILoad* iload) {
    IOResult opened;
    while ((opened = iload->OpenChunk()) == IO_OK) {
        const USHORT id = iload->CurChunkID();
        const IOResult result =
            id == detail::kBuiltinBaseChunk ? MtlBase::Load(iload) : LoadOwnChunk(iload, id);
        if (iload->CloseChunk() != IO_OK || result != IO_OK) return IO_ERROR;
    }
    // Loaded on its own, the object may already hold its loaded block, whose
    // values came without notifications. In a scene the loaded block is set
    // only after every Load, through SetReference, which recaches then.
    Recache(cacheTime_);
    return opened == IO_END ? IO_OK : IO_ERROR;
}

AColor GreyMap::EvalColor(ShadeContext& sc) {
    const float v = EvalMono(sc);
    return AColor(v, v, v, 1.0f);
}

float GreyMap::EvalMono(ShadeContext& sc) {
    if (GetGBufID() != 0) sc.SetGBufferID(static_cast<int>(GetGBufID()));
    return MonoAt(sc);
}

Point3 GreyMap::EvalNormalPerturb(ShadeContext& sc) {
    if (GetGBufID() != 0) sc.SetGBufferID(static_cast<int>(GetGBufID()));
    return Point3();
}

}  // namespace standin
