// The stand-in's parameter block: the values of one block of a definition.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "iparamb2.h"
#include "params/param_access.h"

namespace standin {

/// A key of an animated float, in the fixed-width form a scene file stores.
struct FloatKey {
    std::int32_t time;
    float value;
};

/// The keys of one animated float, kept in time order.
class FloatTrack {
public:
    bool Empty() const { return keys_.empty(); }
    const std::vector<FloatKey>& Keys() const { return keys_; }
    void Clear() { keys_.clear(); }
    /// Adds a key at t or replaces the one there.
    void SetKey(TimeValue t, float value);
    /// Removes the key at t; false when there is none.
    bool RemoveKey(TimeValue t);
    /// The value at t: the first key's before it, the last key's after it,
    /// linear between keys.
    float ValueAt(TimeValue t) const;
    /// The largest interval around t over which the value does not change.
    Interval ValidityAt(TimeValue t) const;

private:
    std::vector<FloatKey> keys_;
};

class ParamBlock2 final : public IParamBlock2 {
public:
    ParamBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner);

    using IParamBlock2::GetValue;
    using IParamBlock2::SetValue;

    void GetClassName(MSTR& s, bool localized) const override;
    Class_ID ClassID() override { return Class_ID(PARAMETER_BLOCK2_CLASS_ID, 0); }
    void DeleteThis() override { delete this; }
    int NumSubs() override { return NumRefs(); }
    Animatable* SubAnim(int i) override { return GetReference(i); }
    MSTR SubAnimName(int i, bool localized) override;
    int SubNumToRefNum(int subNum) override { return subNum; }

    int NumRefs() override { return static_cast<int>(refSlots_.size()); }
    RefTargetHandle GetReference(int i) override;

    RefTargetHandle Clone(RemapDir& remap) override;
    void RefAdded(RefMakerHandle rm) override;
    void RefDeleted(ReferenceMaker* oldOwner) override;

    short ID() override { return desc_->ID; }
    ReferenceMaker* GetOwner() override { return owner_; }
    ParamBlockDesc2* GetDesc() override { return desc_; }
    int NumParams() override { return desc_->Count(); }
    ParamType2 GetParameterType(ParamID id) override;
    MSTR GetLocalName(ParamID id, int tabIndex = -1) override;

    BOOL SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0) override;
    BOOL SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0) override;
    BOOL SetValue(ParamID id, TimeValue t, ReferenceTarget* v, int tabIndex = 0) override;
    BOOL GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex = 0) override;
    BOOL GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex = 0) override;
    BOOL GetValue(ParamID id, TimeValue t, ReferenceTarget*& v, Interval& valid,
                  int tabIndex = 0) override;

    ParamID LastNotifyParamID() override { return lastNotifyParamID_; }
    IParamMap2* GetMap(MapID map = 0) override;
    void SetMap(IParamMap2* m, MapID map = 0) override;
    void ResetAll(BOOL updateUI = TRUE, BOOL callSetHandlers = TRUE) override;
    void Reset(ParamID id, int tabIndex = -1, BOOL updateUI = TRUE,
               BOOL callSetHandlers = TRUE) override;

    /// The block's own values and keys (object parameters are references,
    /// which the host stores); see param_block2_io.cpp.
    IOResult Save(ISave* isave) override;
    IOResult Load(ILoad* iload) override;

    /// The keys of parameter `id` (empty when it is not animated).
    std::vector<ParamKey> Keys(ParamID id) const;
    /// Removes the key of parameter `id` at t (see DeleteParamKey).
    bool DeleteKey(ParamID id, TimeValue t);
    /// Grows with every change notification of any block: orders changes.
    std::uint64_t ChangeSerial() const { return changeSerial_; }

protected:
    void SetReference(int i, RefTargetHandle rtarg) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;

private:
    // One parameter's storage. Values in the block use fixed-width types; an
    // object parameter held by the block is one of its references, while one
    // with P_OWNERS_REF lives in the owner's reference `refno`.
    struct Slot {
        int defIndex = 0;
        float f = 0.0f;
        std::int32_t i = 0;
        FloatTrack keys;
        ReferenceTarget* ref = nullptr;
        int refIndex = -1;  // this block's reference index, or -1
    };

    const ParamDef& Def(const Slot& slot) const { return desc_->ParamDefAt(slot.defIndex); }
    Slot* Find(ParamID id);
    const Slot* Find(ParamID id) const;
    void ResetSlot(Slot& slot);
    void Changed(ParamID id);
    bool OwnerStillReferences() const;
    // Maps read their blocks in Update, never while a render evaluates them.
    void ReportReadDuringEvaluation(ParamID id) const;

    ParamBlockDesc2* desc_;
    ReferenceMaker* owner_;
    std::vector<Slot> slots_;
    std::vector<int> refSlots_;  // slot index of each of the block's references
    std::map<MapID, IParamMap2*> maps_;
    ParamID lastNotifyParamID_ = -1;
    std::uint64_t changeSerial_ = 0;
};

}  // namespace standin
