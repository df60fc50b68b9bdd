// The reference system: makers, targets, replacement and notifications.
#include "ref.h"

#include <algorithm>

#include "sdk/references.h"

namespace {

// Targets currently passing a notification on: a target on this path does
// not pass the same wave on again, which ends any cycle. A chain of frames on
// the stack, innermost first, under a plain pointer: MinGW's runtime frees a
// thread_local that has a destructor before running it, and the freed memory
// was then freed again as each thread ended.
struct PropagationFrame {
    const ReferenceTarget* target;
    const PropagationFrame* outer;
};
thread_local const PropagationFrame* propagationPath = nullptr;

/// Puts a target on the path for the step's lifetime.
class PropagationStep {
public:
    explicit PropagationStep(const ReferenceTarget* target) : frame_{target, propagationPath} {
        propagationPath = &frame_;
    }
    ~PropagationStep() { propagationPath = frame_.outer; }
    PropagationStep(const PropagationStep&) = delete;
    PropagationStep& operator=(const PropagationStep&) = delete;

private:
    PropagationFrame frame_;
};

bool onPropagationPath(const ReferenceTarget* target) {
    for (const PropagationFrame* frame = propagationPath; frame != nullptr; frame = frame->outer) {
        if (frame->target == target) return true;
    }
    return false;
}

template <class T>
bool eraseOne(std::vector<T*>& list, const void* item) {
    auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

// True when `goal` can be reached from `from` by following references; a new
// reference from `goal` to `from` would then close a loop.
bool reaches(ReferenceTarget* from, const ReferenceMaker* goal,
             std::vector<ReferenceTarget*>& visited) {
    if (static_cast<ReferenceMaker*>(from) == goal) return true;
    if (std::find(visited.begin(), visited.end(), from) != visited.end()) return false;
    visited.push_back(from);
    const int count = from->NumRefs();
    for (int i = 0; i < count; ++i) {
        ReferenceTarget* next = from->GetReference(i);
        if (next && reaches(next, goal, visited)) return true;
    }
    return false;
}

}  // namespace

// ---- Animatable ------------------------------------------------------------

Animatable::~Animatable() = default;

void Animatable::GetClassName(MSTR& s, bool) const { s = L""; }
SClass_ID Animatable::SuperClassID() { return 0; }
Class_ID Animatable::ClassID() { return Class_ID(0, 0); }
void Animatable::DeleteThis() { delete this; }
int Animatable::NumSubs() { return 0; }
Animatable* Animatable::SubAnim(int) { return nullptr; }
MSTR Animatable::SubAnimName(int, bool) { return MSTR(); }
int Animatable::SubNumToRefNum(int) { return -1; }
int Animatable::NumParamBlocks() { return 0; }
IParamBlock2* Animatable::GetParamBlock(int) { return nullptr; }
IParamBlock2* Animatable::GetParamBlockByID(short) { return nullptr; }

// ---- ReferenceMaker ----------------------------------------------------------

ReferenceMaker::~ReferenceMaker() {
    // Only the host's record is cleared, so that no target keeps a dangling
    // dependent: whatever is still held stays allocated, and a sanitizer
    // build reports it as leaked.
    for (ReferenceTarget* target : heldTargets_) {
        if (eraseOne(target->dependents_, this)) target->RefDeleted(this);
    }
}

int ReferenceMaker::NumRefs() { return 0; }
RefTargetHandle ReferenceMaker::GetReference(int) { return nullptr; }
void ReferenceMaker::SetReference(int, RefTargetHandle) {}

RefResult ReferenceMaker::ReplaceReference(int which, RefTargetHandle newtarg, BOOL delOld) {
    if (which < 0 || which >= NumRefs()) return REF_FAIL;
    ReferenceTarget* old = GetReference(which);
    if (old == newtarg) return REF_SUCCEED;
    if (newtarg) {
        std::vector<ReferenceTarget*> visited;
        if (reaches(newtarg, this, visited)) return REF_FAIL;
        newtarg->dependents_.push_back(this);
        heldTargets_.push_back(newtarg);
    }
    SetReference(which, newtarg);
    if (newtarg) newtarg->RefAdded(this);
    if (old) {
        eraseOne(heldTargets_, old);
        // A target put into the slot behind the host's back is not the host's
        // to free.
        if (eraseOne(old->dependents_, this)) {
            old->RefDeleted(this);
            if (delOld) old->ReleaseIfUnreferenced();
        }
    }
    return REF_SUCCEED;
}

RefResult ReferenceMaker::DeleteReference(int which) {
    return ReplaceReference(which, nullptr, TRUE);
}

RefResult ReferenceMaker::DeleteAllRefsFromMe() {
    const int count = NumRefs();
    for (int i = 0; i < count; ++i) {
        if (GetReference(i)) ReplaceReference(i, nullptr, TRUE);
    }
    // Whatever the host still records but the slots no longer report.
    while (!heldTargets_.empty()) {
        ReferenceTarget* target = heldTargets_.back();
        heldTargets_.pop_back();
        if (eraseOne(target->dependents_, this)) {
            target->RefDeleted(this);
            target->ReleaseIfUnreferenced();
        }
    }
    return REF_SUCCEED;
}

RefResult ReferenceMaker::DeleteAllRefs() {
    DeleteAllRefsToMe();
    return DeleteAllRefsFromMe();
}

int ReferenceMaker::FindRef(RefTargetHandle target) {
    if (!target) return -1;
    const int count = NumRefs();
    for (int i = 0; i < count; ++i) {
        if (GetReference(i) == target) return i;
    }
    return -1;
}

void ReferenceMaker::DeleteMe() {
    DeleteAllRefs();
    DeleteThis();
}

// ---- ReferenceTarget ---------------------------------------------------------

ReferenceTarget::~ReferenceTarget() {
    deleting_ = true;
    DetachDependents();
}

bool ReferenceTarget::IsDependent(const ReferenceMaker* maker) const {
    return std::find(dependents_.begin(), dependents_.end(), maker) != dependents_.end();
}

void ReferenceTarget::ReleaseIfUnreferenced() {
    if (!dependents_.empty() || deleting_) return;
    if (notifyDepth_ > 0) {
        // Still iterating its dependents: free it when the notification ends.
        releasePending_ = true;
        return;
    }
    Release();
}

void ReferenceTarget::Release() {
    deleting_ = true;
    DeleteAllRefs();
    DeleteThis();
}

void ReferenceTarget::DetachDependents() {
    while (!dependents_.empty()) {
        ReferenceMaker* maker = dependents_.back();
        dependents_.pop_back();
        eraseOne(maker->heldTargets_, this);
        const int count = maker->NumRefs();
        for (int i = 0; i < count; ++i) {
            if (maker->GetReference(i) == this) {
                maker->SetReference(i, nullptr);
                break;
            }
        }
    }
}

RefResult ReferenceTarget::NotifyDependents(const Interval& changeInt, PartID partID,
                                            RefMessage message, SClass_ID sclass, BOOL propagate,
                                            RefTargetHandle hTarg, NotifyDependentsOption) {
    RefTargetHandle sender = hTarg ? hTarg : this;
    // Each maker hears the message once, however many of its slots point here.
    std::vector<ReferenceMaker*> makers;
    for (ReferenceMaker* maker : dependents_) {
        if (std::find(makers.begin(), makers.end(), maker) == makers.end()) {
            makers.push_back(maker);
        }
    }
    ++notifyDepth_;
    {
        // Off the path again before this target may be released below.
        const PropagationStep step(this);
        for (ReferenceMaker* maker : makers) {
            // A handler may have dropped (or deleted) a later maker meanwhile.
            if (!IsDependent(maker)) continue;
            if (sclass != NOTIFY_ALL && maker->SuperClassID() != sclass) continue;
            PartID part = partID;
            const RefResult result =
                maker->NotifyRefChanged(changeInt, sender, part, message, propagate);
            if (result != REF_SUCCEED || !propagate) continue;
            if (!IsDependent(maker) || !maker->IsRefTarget()) continue;
            auto* next = static_cast<ReferenceTarget*>(maker);
            if (onPropagationPath(next)) continue;
            next->NotifyDependents(changeInt, part, message, sclass, propagate, nullptr);
        }
    }
    --notifyDepth_;
    if (notifyDepth_ == 0 && releasePending_) {
        releasePending_ = false;
        ReleaseIfUnreferenced();  // may free this object: touch nothing after
    }
    return REF_SUCCEED;
}

RefTargetHandle ReferenceTarget::Clone(RemapDir&) { return nullptr; }
void ReferenceTarget::BaseClone(ReferenceTarget*, ReferenceTarget*, RemapDir&) {}
void ReferenceTarget::RefAdded(RefMakerHandle) {}
void ReferenceTarget::RefDeleted(ReferenceMaker*) {}

RefResult ReferenceTarget::DeleteAllRefsToMe() {
    DetachDependents();
    return REF_SUCCEED;
}

void ReferenceTarget::MaybeAutoDelete() {
    ReleaseIfUnreferenced();
}

void ReferenceTarget::DeleteMe() {
    if (deleting_) return;
    deleting_ = true;
    NotifyDependents(FOREVER, PART_ALL, REFMSG_TARGET_DELETED, NOTIFY_ALL, FALSE);
    DeleteAllRefs();
    DeleteThis();
}

// ---- RemapDir ------------------------------------------------------------------

RemapDir::~RemapDir() = default;

RefTargetHandle RemapDir::CloneRef(RefTargetHandle oldTarg) {
    if (!oldTarg) return nullptr;
    if (RefTargetHandle done = FindMapping(oldTarg)) return done;
    RefTargetHandle clone = oldTarg->Clone(*this);
    if (clone) AddEntry(oldTarg, clone);
    return clone;
}

// ---- Stand-in view -------------------------------------------------------------

namespace standin {

std::vector<ReferenceMaker*> ReferenceAccess::Dependents(const ReferenceTarget* target) {
    return target ? target->dependents_ : std::vector<ReferenceMaker*>();
}

std::vector<ReferenceMaker*> DependentsOf(const ReferenceTarget* target) {
    return ReferenceAccess::Dependents(target);
}

}  // namespace standin
