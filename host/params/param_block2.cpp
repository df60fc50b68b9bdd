// The parameter block: values, animated floats and their keys, notifications.
#include "param_block2.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "maxapi.h"
#include "sdk/references.h"
#include "sdk/render_evaluation.h"

namespace standin {
namespace {
// Orders change notifications across all blocks (ClassDesc2::LastNotifyParamID).
std::uint64_t changeCounter = 0;
}  // namespace

// ---- FloatTrack ------------------------------------------------------------------

void FloatTrack::SetKey(TimeValue t, float value) {
    auto it = std::lower_bound(keys_.begin(), keys_.end(), t,
                               [](const FloatKey& key, TimeValue time) { return key.time < time; });
    if (it != keys_.end() && it->time == t) {
        it->value = value;
    } else {
        keys_.insert(it, FloatKey{t, value});
    }
}

bool FloatTrack::RemoveKey(TimeValue t) {
    const auto it = std::find_if(keys_.begin(), keys_.end(),
                                 [t](const FloatKey& key) { return key.time == t; });
    if (it == keys_.end()) return false;
    keys_.erase(it);
    return true;
}

float FloatTrack::ValueAt(TimeValue t) const {
    if (keys_.empty()) return 0.0f;
    if (t <= keys_.front().time) return keys_.front().value;
    if (t >= keys_.back().time) return keys_.back().value;
    auto next =
        std::upper_bound(keys_.begin(), keys_.end(), t,
                         [](TimeValue time, const FloatKey& key) { return time < key.time; });
    const FloatKey& b = *next;
    const FloatKey& a = *(next - 1);
    if (a.time == t) return a.value;
    // The fraction in double so that long spans keep their precision.
    const double u = (static_cast<double>(t) - a.time) / (static_cast<double>(b.time) - a.time);
    return static_cast<float>(a.value + (static_cast<double>(b.value) - a.value) * u);
}

Interval FloatTrack::ValidityAt(TimeValue t) const {
    const int n = static_cast<int>(keys_.size());
    if (n <= 1) return FOREVER;
    // Start of the run of equal keys that ends at key i (TIME_NegInfinity when
    // it reaches the first key, whose value also holds before it).
    const auto runStart = [&](int i) {
        int j = i;
        while (j > 0 && keys_[j - 1].value == keys_[i].value) --j;
        return j == 0 ? TIME_NegInfinity : keys_[j].time;
    };
    const auto runEnd = [&](int i) {
        int j = i;
        while (j < n - 1 && keys_[j + 1].value == keys_[i].value) ++j;
        return j == n - 1 ? TIME_PosInfinity : keys_[j].time;
    };
    if (t <= keys_[0].time) return Interval(TIME_NegInfinity, runEnd(0));
    if (t >= keys_[n - 1].time) return Interval(runStart(n - 1), TIME_PosInfinity);
    int next = 1;
    while (keys_[next].time < t) ++next;
    if (keys_[next].time == t) {
        // On an inner key: constant on a side only where the neighbour agrees.
        const TimeValue start = keys_[next - 1].value == keys_[next].value ? runStart(next) : t;
        const TimeValue end = keys_[next + 1].value == keys_[next].value ? runEnd(next) : t;
        return Interval(start, end);
    }
    if (keys_[next - 1].value != keys_[next].value) return Interval(t, t);
    return Interval(runStart(next - 1), runEnd(next));
}

// ---- ParamBlock2 -----------------------------------------------------------------

ParamBlock2::ParamBlock2(ParamBlockDesc2* desc, ReferenceMaker* owner)
    : desc_(desc), owner_(owner) {
    slots_.resize(static_cast<std::size_t>(desc_->Count()));
    for (int index = 0; index < desc_->Count(); ++index) {
        Slot& slot = slots_[static_cast<std::size_t>(index)];
        slot.defIndex = index;
        const ParamDef& def = Def(slot);
        if (def.IsReference() && !def.IsOwnersRef()) {
            slot.refIndex = static_cast<int>(refSlots_.size());
            refSlots_.push_back(index);
        }
        ResetSlot(slot);
    }
}

void ParamBlock2::GetClassName(MSTR& s, bool) const { s = L"ParamBlock2"; }

MSTR ParamBlock2::SubAnimName(int i, bool) {
    if (i < 0 || i >= NumRefs()) return MSTR();
    return GetLocalName(Def(slots_[static_cast<std::size_t>(refSlots_[i])]).ID);
}

RefTargetHandle ParamBlock2::GetReference(int i) {
    if (i < 0 || i >= NumRefs()) return nullptr;
    return slots_[static_cast<std::size_t>(refSlots_[i])].ref;
}

void ParamBlock2::SetReference(int i, RefTargetHandle rtarg) {
    if (i < 0 || i >= NumRefs()) return;
    slots_[static_cast<std::size_t>(refSlots_[i])].ref = rtarg;
}

RefTargetHandle ParamBlock2::Clone(RemapDir& remap) {
    auto* copy = new ParamBlock2(desc_, nullptr);
    for (std::size_t s = 0; s < slots_.size(); ++s) {
        copy->slots_[s].f = slots_[s].f;
        copy->slots_[s].i = slots_[s].i;
        copy->slots_[s].keys = slots_[s].keys;
    }
    for (int r = 0; r < NumRefs(); ++r) {
        if (RefTargetHandle target = GetReference(r)) {
            copy->ReplaceReference(r, remap.CloneRef(target));
        }
    }
    BaseClone(this, copy, remap);
    return copy;
}

void ParamBlock2::RefAdded(RefMakerHandle rm) {
    // A cloned block learns its owner when the new owner takes it.
    if (!owner_) owner_ = rm;
}

bool ParamBlock2::OwnerStillReferences() const {
    const std::vector<ReferenceMaker*> dependents = DependentsOf(this);
    return std::find(dependents.begin(), dependents.end(), owner_) != dependents.end();
}

void ParamBlock2::RefDeleted(ReferenceMaker* oldOwner) {
    if (owner_ && owner_ == oldOwner && !OwnerStillReferences()) owner_ = nullptr;
}

ParamType2 ParamBlock2::GetParameterType(ParamID id) {
    const Slot* slot = Find(id);
    return slot ? Def(*slot).type : static_cast<ParamType2>(-1);
}

MSTR ParamBlock2::GetLocalName(ParamID id, int) {
    const Slot* slot = Find(id);
    if (!slot || !desc_->cd) return MSTR();
    return MSTR(desc_->cd->GetRsrcString(Def(*slot).local_name));
}

ParamBlock2::Slot* ParamBlock2::Find(ParamID id) {
    return const_cast<Slot*>(std::as_const(*this).Find(id));
}

const ParamBlock2::Slot* ParamBlock2::Find(ParamID id) const {
    // Blocks are nearly always numbered 0, 1, 2 ... in definition order, and
    // maps read a parameter for every shaded sample: try the slot at the ID's
    // own index before searching (IDs are unique within a definition).
    if (id >= 0 && static_cast<std::size_t>(id) < slots_.size()) {
        const Slot& slot = slots_[static_cast<std::size_t>(id)];
        if (Def(slot).ID == id) return &slot;
    }
    const int index = desc_->IDtoIndex(id);
    return index < 0 ? nullptr : &slots_[static_cast<std::size_t>(index)];
}

void ParamBlock2::Changed(ParamID id) {
    lastNotifyParamID_ = id;
    changeSerial_ = ++changeCounter;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
}

BOOL ParamBlock2::SetValue(ParamID id, TimeValue t, float v, int tabIndex) {
    Slot* slot = Find(id);
    // Any float, NaN and the infinities too: the host's block checks no
    // value, and maps must cope with what scripts and files put in it.
    if (!slot || tabIndex != 0 || Def(*slot).type != TYPE_FLOAT) return FALSE;
    if (Def(*slot).IsAnimatable() && (Animating() || !slot->keys.Empty())) {
        // The first key set away from time 0 keeps the value so far at 0.
        if (slot->keys.Empty() && t != 0) slot->keys.SetKey(0, slot->f);
        slot->keys.SetKey(t, v);
    } else {
        slot->f = v;
    }
    Changed(id);
    return TRUE;
}

BOOL ParamBlock2::SetValue(ParamID id, TimeValue t, int v, int tabIndex) {
    Slot* slot = Find(id);
    if (!slot || tabIndex != 0) return FALSE;
    const ParamType2 type = Def(*slot).type;
    if (type == TYPE_FLOAT) return SetValue(id, t, static_cast<float>(v), tabIndex);
    if (type != TYPE_INT && type != TYPE_BOOL) return FALSE;
    slot->i = v;
    Changed(id);
    return TRUE;
}

BOOL ParamBlock2::SetValue(ParamID id, TimeValue, ReferenceTarget* v, int tabIndex) {
    Slot* slot = Find(id);
    if (!slot || tabIndex != 0) return FALSE;
    const ParamDef& def = Def(*slot);
    if (!def.IsReference()) return FALSE;
    if (def.type == TYPE_TEXMAP && v && v->SuperClassID() != TEXMAP_CLASS_ID) return FALSE;
    if (def.IsOwnersRef()) {
        if (!owner_ || owner_->ReplaceReference(def.refno, v) != REF_SUCCEED) return FALSE;
    } else if (ReplaceReference(slot->refIndex, v) != REF_SUCCEED) {
        return FALSE;
    }
    Changed(id);
    return TRUE;
}

void ParamBlock2::ReportReadDuringEvaluation(ParamID id) const {
    const Slot* slot = Find(id);
    std::string what = "parameter ";
    what += slot != nullptr ? "\"" + Def(*slot).int_name.ToUTF8() + "\" " : "";
    what += "(ID " + std::to_string(id) + ") of block \"" + desc_->int_name.ToUTF8() + "\"";
    if (owner_ != nullptr) {
        MSTR ownerClass;
        owner_->GetClassName(ownerClass, false);
        what += " of a " + ownerClass.ToUTF8() + " map";
    }
    ReportEvaluationViolation(what + " was read while a render was evaluating maps");
}

BOOL ParamBlock2::GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex) {
    if (InRenderEvaluation()) ReportReadDuringEvaluation(id);
    const Slot* slot = Find(id);
    if (!slot || tabIndex != 0 || Def(*slot).type != TYPE_FLOAT) return FALSE;
    if (slot->keys.Empty()) {
        v = slot->f;
    } else {
        v = slot->keys.ValueAt(t);
        valid &= slot->keys.ValidityAt(t);
    }
    return TRUE;
}

BOOL ParamBlock2::GetValue(ParamID id, TimeValue, int& v, Interval&, int tabIndex) {
    if (InRenderEvaluation()) ReportReadDuringEvaluation(id);
    const Slot* slot = Find(id);
    if (!slot || tabIndex != 0) return FALSE;
    const ParamType2 type = Def(*slot).type;
    if (type != TYPE_INT && type != TYPE_BOOL) return FALSE;
    v = slot->i;
    return TRUE;
}

BOOL ParamBlock2::GetValue(ParamID id, TimeValue, ReferenceTarget*& v, Interval&, int tabIndex) {
    if (InRenderEvaluation()) ReportReadDuringEvaluation(id);
    const Slot* slot = Find(id);
    if (!slot || tabIndex != 0) return FALSE;
    const ParamDef& def = Def(*slot);
    if (!def.IsReference()) return FALSE;
    ReferenceTarget* target = nullptr;
    if (def.IsOwnersRef()) {
        if (!owner_) return FALSE;
        target = owner_->GetReference(def.refno);
    } else {
        target = slot->ref;
    }
    // Only a map may come out of a map parameter: callers cast it to Texmap.
    if (def.type == TYPE_TEXMAP && target && target->SuperClassID() != TEXMAP_CLASS_ID) {
        v = nullptr;
        return FALSE;
    }
    v = target;
    return TRUE;
}

IParamMap2* ParamBlock2::GetMap(MapID map) {
    auto it = maps_.find(map);
    return it == maps_.end() ? nullptr : it->second;
}

void ParamBlock2::SetMap(IParamMap2* m, MapID map) {
    if (m) {
        maps_[map] = m;
    } else {
        maps_.erase(map);
    }
}

void ParamBlock2::ResetSlot(Slot& slot) {
    const ParamDef& def = Def(slot);
    slot.keys.Clear();
    slot.f = def.type == TYPE_FLOAT ? def.def.f : 0.0f;
    slot.i = def.type == TYPE_INT || def.type == TYPE_BOOL ? def.def.i : 0;
    if (slot.refIndex >= 0 && slot.ref) ReplaceReference(slot.refIndex, nullptr);
}

// Set handlers (accessors) are not part of this host's definitions, so there
// is nothing for callSetHandlers to call.
void ParamBlock2::ResetAll(BOOL updateUI, BOOL) {
    for (Slot& slot : slots_) ResetSlot(slot);
    lastNotifyParamID_ = -1;
    changeSerial_ = ++changeCounter;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
    if (updateUI && desc_->cd) desc_->cd->InvalidateUI(desc_);
}

void ParamBlock2::Reset(ParamID id, int tabIndex, BOOL updateUI, BOOL) {
    Slot* slot = Find(id);
    if (!slot) return;
    ResetSlot(*slot);
    Changed(id);
    if (updateUI && desc_->cd) desc_->cd->InvalidateUI(desc_, id, tabIndex);
}

RefResult ParamBlock2::NotifyRefChanged(const Interval&, RefTargetHandle hTarget, PartID&,
                                        RefMessage message, BOOL) {
    if (message == REFMSG_CHANGE) {
        for (int r = 0; r < NumRefs(); ++r) {
            const Slot& slot = slots_[static_cast<std::size_t>(refSlots_[r])];
            if (slot.ref == hTarget) {
                lastNotifyParamID_ = Def(slot).ID;
                changeSerial_ = ++changeCounter;
                break;
            }
        }
    }
    return REF_SUCCEED;
}

bool ParamBlock2::DeleteKey(ParamID id, TimeValue t) {
    Slot* slot = Find(id);
    if (!slot || slot->keys.Empty()) return false;
    // Without keys the parameter keeps the value the only key had.
    const float first = slot->keys.Keys().front().value;
    if (!slot->keys.RemoveKey(t)) return false;
    if (slot->keys.Empty()) slot->f = first;
    Changed(id);
    return true;
}

std::vector<ParamKey> ParamBlock2::Keys(ParamID id) const {
    std::vector<ParamKey> keys;
    const Slot* slot = Find(id);
    if (!slot) return keys;
    for (const FloatKey& key : slot->keys.Keys()) keys.push_back({key.time, key.value});
    return keys;
}

}  // namespace standin

IParamBlock2* CreateParameterBlock2(ParamBlockDesc2* pdesc, ReferenceMaker* owner) {
    if (!pdesc || pdesc->HasDefinitionErrors()) return nullptr;
    return new standin::ParamBlock2(pdesc, owner);
}
