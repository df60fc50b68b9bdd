// The host's scene: the list of top-level objects. The scene holds a
// reference to each, so the reference system keeps them (and everything they
// reference) alive while they are in the scene and frees them when the scene
// lets go and nothing else references them.
#pragma once

#include <vector>

#include "ref.h"

namespace standin {

class Scene final : public ReferenceMaker {
public:
    Scene() = default;
    /// Releases every root; objects nobody else references are freed.
    ~Scene() override;

    /// The top-level objects, in the order they were added.
    std::vector<ReferenceTarget*> Roots() const;
    int Count() const { return static_cast<int>(Roots().size()); }
    bool Contains(const ReferenceTarget* object) const;

    /// Appends `object` as a root. False for null, for an object already a
    /// root, or when the reference system refuses the reference.
    bool Add(ReferenceTarget* object);
    /// Removes `object` from the roots (freeing it when nothing else
    /// references it). False when it is no root.
    bool Remove(ReferenceTarget* object);
    /// Removes every root.
    void Clear();

    int NumRefs() override { return static_cast<int>(slots_.size()); }
    RefTargetHandle GetReference(int i) override;

protected:
    void SetReference(int i, RefTargetHandle target) override;
    RefResult NotifyRefChanged(const Interval& changeInt, RefTargetHandle hTarget, PartID& partID,
                               RefMessage message, BOOL propagate) override;

private:
    /// Drops slots emptied by targets deleted from outside.
    void Compact();

    std::vector<ReferenceTarget*> slots_;
};

}  // namespace standin
