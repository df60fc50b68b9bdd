// The reference system: Animatable, ReferenceMaker, ReferenceTarget.
//
// A maker holds references to targets in numbered slots; each target keeps the
// list of makers that depend on it and notifies them of changes. The host owns
// every referenced object: a target that loses its last dependent through
// ReplaceReference/DeleteReference (with delOld) is freed, and so is a
// top-level object deleted with DeleteMe. Freeing an object first releases its
// own references (DeleteAllRefs: freeing, in turn, whatever nobody references
// any more) and then calls its DeleteThis. As on the real host, the
// destructors are protected and free nothing: an object deleted any other way
// leaks what it still references. The host never calls a virtual of the object
// being destroyed from a base destructor. Like the real host's, the reference
// system is used from one thread at a time.
#pragma once

#include <vector>

#include "interval.h"
#include "maxheap.h"
#include "maxtypes.h"
#include "strclass.h"
#include "win_shim.h"

class ILoad;
class IParamBlock2;
class ISave;
class ReferenceMaker;
class ReferenceTarget;
class RemapDir;

/// The 7th argument of NotifyDependents. The stand-in lets no dependent opt
/// out of a notification, so it reads neither value; the enumerator names
/// are unconfirmed against the SDK headers.
enum NotifyDependentsOption {
    REFNOTIFY_NONE = 0,
    REFNOTIFY_ALLOW_OPT_OUT = 1,
};

typedef ReferenceTarget* RefTargetHandle;
typedef ReferenceMaker* RefMakerHandle;

namespace standin {
struct ReferenceAccess;
}

/// Base of every host object: identity, class name and sub-animatables.
class Animatable : public MaxHeapOperators {
public:
    Animatable() = default;
    Animatable(const Animatable&) = delete;
    Animatable& operator=(const Animatable&) = delete;

    virtual void GetClassName(MSTR& s, bool localized) const;
    virtual SClass_ID SuperClassID();
    virtual Class_ID ClassID();
    /// Destroys the object; the default deletes it with the host's heap operators.
    virtual void DeleteThis();

    virtual int NumSubs();
    virtual Animatable* SubAnim(int i);
    virtual MSTR SubAnimName(int i, bool localized);
    /// The reference index that sub-animatable i is held in, or -1.
    virtual int SubNumToRefNum(int subNum);

    virtual int NumParamBlocks();
    virtual IParamBlock2* GetParamBlock(int i);
    virtual IParamBlock2* GetParamBlockByID(short id);

protected:
    /// Objects end through DeleteThis (DeleteMe, MaybeAutoDelete), never
    /// through `delete` from outside.
    virtual ~Animatable();
};

/// An object that holds references to targets.
class ReferenceMaker : public Animatable {
public:
    ReferenceMaker() = default;

    virtual int NumRefs();
    virtual RefTargetHandle GetReference(int i);
    virtual BOOL IsRefTarget() { return FALSE; }

    /// Makes `newtarg` (may be null) reference `which` of this maker. The old
    /// target loses this dependent and, when `delOld` is set and nobody else
    /// references it, is freed. Returns REF_FAIL for an index outside NumRefs
    /// or when the new reference would make a loop.
    RefResult ReplaceReference(int which, RefTargetHandle newtarg, BOOL delOld = TRUE);
    /// Clears reference `which`, freeing the target when nobody else references it.
    RefResult DeleteReference(int which);
    /// Clears every reference of this maker, freeing the targets nobody else
    /// references.
    RefResult DeleteAllRefsFromMe();
    /// Clears the references that others hold to this object; a maker holds
    /// none, so only targets do anything here.
    virtual RefResult DeleteAllRefsToMe() { return REF_SUCCEED; }
    /// Both of the above: what the host calls before it deletes an object.
    RefResult DeleteAllRefs();
    /// Index of the first reference slot that holds `target`, or -1.
    int FindRef(RefTargetHandle target);
    /// Releases every reference, then calls DeleteThis.
    virtual void DeleteMe();

    /// Writes the object's own data as chunks; the host stores the references
    /// itself. The default writes nothing.
    virtual IOResult Save(ISave* isave);
    /// Reads what Save wrote. The host restores the references only after
    /// every object's Load has run: work that needs them belongs in a
    /// PostLoadCallback registered here. The default reads nothing.
    virtual IOResult Load(ILoad* iload);

protected:
    /// Detaches from the targets still held, without freeing them: the host
    /// releases references before an object is deleted, and whatever a
    /// maker deleted another way still holds is leaked, as on the real host.
    ~ReferenceMaker() override;

    virtual void SetReference(int i, RefTargetHandle rtarg);
    virtual RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget,
                                       PartID& partID, RefMessage message, BOOL propagate) = 0;

private:
    friend class ReferenceTarget;
    friend struct standin::ReferenceAccess;

    // Targets referenced through ReplaceReference, one entry per slot: the
    // host's own record, used when the slots no longer report a target.
    std::vector<ReferenceTarget*> heldTargets_;
};

/// An object that others reference and notify through.
class ReferenceTarget : public ReferenceMaker {
public:
    ReferenceTarget() = default;

    BOOL IsRefTarget() override { return TRUE; }

    /// Calls NotifyRefChanged(changeInt, target, partID, message, propagate) on
    /// every dependent (of super class `sclass` unless NOTIFY_ALL), where target
    /// is `hTarg` or, when null, this object. A dependent that is itself a
    /// target and answers REF_SUCCEED passes the message on to its own
    /// dependents when `propagate` is set; a target already passing the message
    /// on higher up does not pass it again.
    virtual RefResult NotifyDependents(
        const Interval& changeInt, PartID partID, RefMessage message,
        SClass_ID sclass = NOTIFY_ALL, BOOL propagate = TRUE, RefTargetHandle hTarg = nullptr,
        NotifyDependentsOption notifyDependentsOption = REFNOTIFY_ALLOW_OPT_OUT);

    /// A copy of this object, its references cloned through `remap`; null
    /// when the class cannot be cloned.
    virtual RefTargetHandle Clone(RemapDir& remap);
    /// Copies host-kept base data from `from` to `to` after a clone.
    virtual void BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap);

    /// Called after a maker has added a reference to this object.
    virtual void RefAdded(RefMakerHandle rm);
    /// Called after `oldOwner` has removed a reference to this object.
    virtual void RefDeleted(ReferenceMaker* oldOwner);

    /// Clears every maker's reference to this object, without freeing it.
    RefResult DeleteAllRefsToMe() override;

    /// Deletes this object as a top-level object: dependents receive
    /// REFMSG_TARGET_DELETED and lose their references to it, its own
    /// references are released, then DeleteThis is called.
    void DeleteMe() override;
    /// Frees this object (its references released, then DeleteThis) when no
    /// maker references it: how an object made but never referenced ends.
    void MaybeAutoDelete();

protected:
    /// Clears the reference slots of makers that still point here (a safety
    /// net for objects deleted without DeleteMe). Pure, as on the real host:
    /// only concrete classes are objects.
    ~ReferenceTarget() override = 0;

private:
    friend class ReferenceMaker;
    friend struct standin::ReferenceAccess;

    bool IsDependent(const ReferenceMaker* maker) const;
    void ReleaseIfUnreferenced();
    void Release();
    void DetachDependents();

    // One entry per reference slot that points here.
    std::vector<ReferenceMaker*> dependents_;
    int notifyDepth_ = 0;
    bool releasePending_ = false;
    bool deleting_ = false;
};

/// Maps originals to their clones while a group of objects is cloned, so that
/// an object referenced twice is cloned once.
class RemapDir : public MaxHeapOperators {
public:
    virtual ~RemapDir();
    /// The clone already made of `from`, or null.
    virtual RefTargetHandle FindMapping(RefTargetHandle from) = 0;
    /// Records that `to` is the clone of `from`.
    virtual void AddEntry(RefTargetHandle from, RefTargetHandle to) = 0;
    /// The clone of `oldTarg`: the one already made, or a new one from its Clone.
    virtual RefTargetHandle CloneRef(RefTargetHandle oldTarg);
};
